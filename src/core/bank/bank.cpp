#include "bank/bank.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "bank/start_sector.h"
#include "platform/paths.h"

namespace qbank {
namespace {

void set_blank_name(char (&name)[name_size]) {
  std::memset(name, ' ', name_size);
  std::memcpy(name, empty_slot_marker.data(), empty_slot_marker.size());
}

std::string name_text(const char (&name)[name_size]) {
  const char* end = std::find(name, name + name_size, '\0');
  return std::string(name, end);
}

void reset_global_parameter(global_parameter& g) {
  std::uint8_t* b = g.bytes;
  const std::uint8_t head[8] = {64, 0, 24, 0, 127, 0, 100, 0};
  std::memcpy(b, head, 8);
  std::fill(b + 8, b + 13, 1);
  std::fill(b + 13, b + 16, 0);
  for (int k = 0; k < 128; ++k) b[16 + k] = static_cast<std::uint8_t>(k);
  std::fill(b + 144, b + 492, 0);
  b[492] = 1;
  std::fill(b + 493, b + 496, 0);
  std::fill(b + 496, b + 504, 1);
  // Bytes 504..511 are not written by the reset.
  std::fill(b + 512, b + 2048, 0);
}

}  // namespace

void reset_blend(blend& b) {
  set_blank_name(b.name);
  b.program_volume = 100;
  b.velo_sensitive = 127;
  b.osc_mode = 0;
  b.sample_offset = 0;
  b.lfo_waveform = 3;
  b.lfo_speed = 64;
  // The instrument's own reset leaves these two ambiguous; these are the values it evidently
  // means: LFO depth 16 and aftertouch "PB +2".
  b.lfo_depth = 16;
  b.at_mode = 1;
  b.velo_to_porta = 0;
  b.pb_range = 2;
  b.pg_transpose = 24;
  b.porta_time = 32;
  for (zone& z : b.zones) z = zone{0, 127, 0, 127, 0, 127, 64};
  b.legato_zone = extra_zone{0, 127, 64};
  b.release_zone = extra_zone{0, 127, 64};
  for (extra_zone& z : b.mod_zones) z = extra_zone{0, 127, 64};
  std::memset(b.reserved_a, 0, sizeof b.reserved_a);
  const std::uint8_t rb[4] = {38, 96, 0, 64};
  std::memcpy(b.reserved_b, rb, 4);
  // reserved_c (bytes 272..431) keeps its contents.
  std::memset(b.reserved_d, 0, sizeof b.reserved_d);
  b.reserved_d[436 - 432] = 64;
  b.reserved_d[437 - 432] = 70;
  b.reserved_d[453 - 432] = 127;
  b.qs_porta_offset = 0;
  b.reserved_e = 0;
  b.velo_sample_offset = 0;
  b.auto_sample_offset_max_sectors = 0;
  b.auto_sample_offset_time_base = 3600;
  b.delay_mix = 25;
  b.delay_feedback = 25;
  b.delay_time = 250;
  std::memset(b.reserved_f, 0, sizeof b.reserved_f);
  b.attack = 1;
  b.release = 30;
}

void repair_loaded_program(blend& b) {
  if (b.porta_time == 0) b.porta_time = 32;
  if (b.pb_range == 0) b.pb_range = 2;
  if (b.delay_time == 0) {
    b.delay_mix = 25;
    b.delay_time = 250;
    b.delay_feedback = 35;
  }
  if (b.auto_sample_offset_time_base < 100) b.auto_sample_offset_time_base = 100;
}

bank::bank()
    : image_(std::make_unique<bank_image>()),
      lists_storage_(std::make_unique<std::array<file_list, multisample_count>>()),
      lists_(*lists_storage_) {
  reset();
}

void bank::reset() {
  const sector_bytes& t = start_sector_template(6);
  std::memcpy(image_->start_sector, t.data(), t.size());
  reset_global_parameter(image_->global);
  for (blend& b : image_->blends) reset_blend(b);
  for (int n = 0; n < multisample_count; ++n) reset_multisample_record(n);
  paths_.clear();
  for (file_list& list : lists_) list.fill(empty_path_id);
  loaded_file_name_ = std::string(no_loaded_bank);
}

void bank::reset_program(int i) {
  reset_blend(image_->blends[i]);
  loaded_file_name_ = std::string(no_loaded_bank);
}

void bank::reset_multisample_record(int n) {
  struct multisample& m = image_->multisamples[n];
  set_blank_name(m.name);
  std::memset(m.comment, ' ', comment_size - 1);
  m.comment[comment_size - 1] = '\0';
  std::memset(m.slots, 0, sizeof m.slots);
}

void bank::reset_multisample(int n) {
  reset_multisample_record(n);
  lists_[n].fill(empty_path_id);
}

void bank::replace_in_paths(std::string_view old_text, std::string_view new_text) {
  if (old_text.empty()) return;  // nothing to find; replacing "" would never end
  // Each distinct text is rewritten once, however many slots hold it. The texts still in use
  // then move into a fresh pool: texts that became equal share one id there, and the texts no
  // slot names any more are dropped, so repeated replaces never make the pool grow.
  constexpr path_id unseen = ~path_id{0};
  std::vector<path_id> order;                         // old ids in use, in first-seen order
  std::vector<path_id> index(paths_.size(), unseen);  // old id -> position in `order`
  index[empty_path_id] = 0;
  order.push_back(empty_path_id);
  bool changed = false;
  std::string replaced;                                    // the rewritten texts, one after another
  std::vector<std::pair<std::size_t, std::size_t>> spans;  // per position: in `replaced`, or
  constexpr std::size_t kept = ~std::size_t{0};            // `kept` for an unchanged text
  spans.emplace_back(kept, 0);
  for (const file_list& list : lists_) {
    for (const path_id id : list) {
      if (index[id] != unseen) continue;
      index[id] = static_cast<path_id>(order.size());
      order.push_back(id);
      const std::string_view text = paths_.text(id);
      std::size_t at = text.find(old_text);
      if (at == std::string_view::npos) {
        spans.emplace_back(kept, 0);
        continue;
      }
      changed = true;
      const std::size_t start = replaced.size();
      std::size_t from = 0;
      while (at != std::string_view::npos) {
        replaced.append(text, from, at - from);
        replaced.append(new_text);
        from = at + old_text.size();
        at = text.find(old_text, from);
      }
      replaced.append(text, from);
      spans.emplace_back(start, replaced.size() - start);
    }
  }
  if (!changed) return;

  std::vector<std::string_view> texts(order.size());
  for (std::size_t k = 0; k < order.size(); ++k)
    texts[k] = spans[k].first == kept
                   ? paths_.text(order[k])
                   : std::string_view(replaced).substr(spans[k].first, spans[k].second);
  path_pool fresh;
  fresh.reserve(order.size(), 0);
  std::vector<path_id> fresh_ids(order.size());
  fresh.intern_all(texts, fresh_ids);
  for (file_list& list : lists_)
    for (path_id& id : list) id = fresh_ids[index[id]];
  paths_.swap(fresh);
}

std::string bank::program_name_text(int i) const {
  return name_text(image_->blends[i].name);
}

std::string bank::multisample_name_text(int n) const {
  return name_text(image_->multisamples[n].name);
}

bool bank::multisample_has_files(int n) const {
  return std::any_of(lists_[n].begin(), lists_[n].end(),
                     [](path_id id) { return id != empty_path_id; });
}

std::uint32_t bank::count_used_slots() const {
  std::uint32_t count = 0;
  for (const file_list& list : lists_)
    for (path_id id : list) count += id != empty_path_id;
  return count == 0 ? 1 : count;
}

bool bank::program_is_used(int i) const {
  const blend& b = image_->blends[i];
  for (const zone& z : b.zones)
    if (z.multisample != 0) return true;
  if (b.legato_zone.multisample != 0 || b.release_zone.multisample != 0) return true;
  for (const extra_zone& z : b.mod_zones)
    if (z.multisample != 0) return true;
  return false;
}

int bank::octave_shift(bool up) {
  int count = 0;
  for (int i = 0; i < program_count; ++i) {
    if (!program_is_used(i)) continue;
    blend& b = image_->blends[i];
    if (up && b.pg_transpose <= 36) b.pg_transpose += 12;
    if (!up && b.pg_transpose >= 12) b.pg_transpose -= 12;
    ++count;
  }
  return count;
}

int bank::convert_lfo_speed() {
  static constexpr std::uint8_t table[11] = {20, 32, 41, 50, 57, 62, 70, 77, 81, 90, 90};
  for (blend& b : image_->blends) b.lfo_speed = b.lfo_speed <= 10 ? table[b.lfo_speed] : 75;
  return program_count;
}

int bank::clear_qs2_mono_hold() {
  int count = 0;
  for (blend& b : image_->blends) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(&b);
    if (b.osc_mode == 11 && bytes[blend_mono_hold_offset] != 0) {
      bytes[blend_mono_hold_offset] = 0;
      ++count;
    }
  }
  return count;
}

int bank::fix_accordion_release() {
  int count = 0;
  auto fix_range = [&](int first, int last) {
    for (int i = first; i <= last; ++i) {
      blend& b = image_->blends[i];
      auto* bytes = reinterpret_cast<std::uint8_t*>(&b);
      if (b.release > 150 && bytes[blend_accordion_mark_offset] == 0) {
        b.release = 150;
        bytes[blend_accordion_mark_offset] = 1;
        b.osc_mode = 19;
        ++count;
      }
    }
  };
  fix_range(2234, 2261);
  fix_range(2374, 2393);
  return count;
}

std::string bank::window_title() const {
  return std::string(title_prefix) + std::string(stored_file_name(loaded_file_name_));
}

}  // namespace qbank
