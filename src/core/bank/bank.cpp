#include "bank/bank.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "bank/change_record.h"
#include "bank/start_sector.h"
#include "bank/zone_references.h"
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

namespace {

void set_reset_values(blend& b) {
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

}  // namespace

void reset_blend(blend& b) {
  // Copied from one record made once: a bank reset and every load reset thousands of them.
  static const blend reset = [] {
    blend r{};
    set_reset_values(r);
    return r;
  }();
  constexpr std::size_t keep_from = offsetof(blend, reserved_c);
  constexpr std::size_t keep_to = offsetof(blend, reserved_d);
  auto* to = reinterpret_cast<std::uint8_t*>(&b);
  const auto* from = reinterpret_cast<const std::uint8_t*>(&reset);
  std::memcpy(to, from, keep_from);
  std::memcpy(to + keep_to, from + keep_to, sizeof(blend) - keep_to);
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

// The step being recorded: the saved contents and which records were saved already.
struct bank::open_step {
  change_record record;
  std::vector<bool> programs = std::vector<bool>(program_count);
  std::vector<bool> multisamples = std::vector<bool>(multisample_count);
  std::vector<bool> lists = std::vector<bool>(multisample_count);
  bool globals = false;
  // The image as it was when it was first handed out whole; fine records saved before it
  // hold older contents and win, later ones are not needed.
  std::unique_ptr<bank_image> whole;
  bool restarted = false;
};

bank::bank()
    : image_(std::make_unique<bank_image>()),
      lists_(std::make_unique<file_list[]>(multisample_count)) {
  reset();
}

bank::~bank() = default;

void bank::begin_step() {
  if (!step_) step_ = std::make_unique<open_step>();
}

change_record bank::end_step() {
  if (!step_) return {};
  std::unique_ptr<open_step> step = std::move(step_);
  change_record out = std::move(step->record);
  if (step->restarted) {
    out = change_record();
    out.restarted_ = true;
    return out;
  }
  if (const bank_image* before = step->whole.get()) {
    if (std::memcmp(before->start_sector, image_->start_sector, sector_size) != 0) {
      out.start_sector_ = std::make_unique<std::array<std::uint8_t, sector_size>>();
      std::memcpy(out.start_sector_->data(), before->start_sector, sector_size);
    }
    if (!step->globals) out.globals_ = std::make_unique<global_parameter>(before->global);
    for (int i = 0; i < program_count; ++i)
      if (!step->programs[i] &&
          std::memcmp(&before->blends[i], &image_->blends[i], sizeof(blend)) != 0)
        out.programs_.push_back({i, before->blends[i]});
    for (int n = 0; n < multisample_count; ++n)
      if (!step->multisamples[n] && std::memcmp(&before->multisamples[n], &image_->multisamples[n],
                                                sizeof(struct multisample)) != 0)
        out.multisamples_.push_back({n, before->multisamples[n]});
  }
  out.drop_unchanged(*this);
  return out;
}

void bank::restart_step() noexcept {
  if (!step_) return;
  step_->record = change_record();
  step_->whole.reset();
  step_->restarted = true;
}

void bank::note_image() {
  open_step& s = *step_;
  if (s.restarted || s.whole) return;
  s.whole = std::make_unique<bank_image>(*image_);
}

void bank::note_globals() {
  open_step& s = *step_;
  if (s.restarted || s.whole || s.globals) return;
  s.globals = true;
  s.record.globals_ = std::make_unique<global_parameter>(image_->global);
}

void bank::note_program(int i) {
  open_step& s = *step_;
  if (s.restarted || s.whole || s.programs[i]) return;
  s.programs[i] = true;
  s.record.programs_.push_back({i, image_->blends[i]});
}

void bank::note_multisample(int n) {
  open_step& s = *step_;
  if (s.restarted || s.whole || s.multisamples[n]) return;
  s.multisamples[n] = true;
  s.record.multisamples_.push_back({n, image_->multisamples[n]});
}

void bank::note_list(int n) {
  open_step& s = *step_;
  if (s.restarted || s.lists[n]) return;
  s.lists[n] = true;
  s.record.lists_.emplace_back();
  change_record::save_list(*this, n, s.record.lists_.back());
}

void bank::swap(bank& other) noexcept {
  restart_step();
  other.restart_step();
  image_.swap(other.image_);
  lists_.swap(other.lists_);
  paths_.swap(other.paths_);
  loaded_file_name_.swap(other.loaded_file_name_);
}

void bank::reset() {
  restart_step();
  const sector_bytes& t = start_sector_template(6);
  std::memcpy(image_->start_sector, t.data(), t.size());
  reset_global_parameter(image_->global);
  for (blend& b : image_->blends) reset_blend(b);
  for (int n = 0; n < multisample_count; ++n) reset_multisample_record(n);
  paths_.clear();
  for (file_list& list : all_lists()) list.fill(empty_path_id);
  loaded_file_name_ = std::string(no_loaded_bank);
}

void bank::reset_program(int i) {
  reset_blend(program(i));
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
  if (step_) {
    note_multisample(n);
    note_list(n);
  }
  reset_multisample_record(n);
  lists_[n].fill(empty_path_id);
}

void bank::replace_in_paths(std::string_view old_text, std::string_view new_text) {
  if (old_text.empty()) return;  // nothing to find; replacing "" would never end
  bool found = false;
  for (path_id id = 1; id < paths_.size() && !found; ++id)
    found = paths_.text(id).find(old_text) != std::string_view::npos;
  if (!found) return;

  // Each distinct text in use is rewritten once, however many slots hold it, and moves into a
  // fresh pool: texts that became equal share one id there, and texts no slot names any more
  // are left behind, so repeated replaces never make the pool grow. The texts go into the
  // fresh pool in batches (intern_all overlaps the table's cache misses).
  constexpr path_id unseen = ~path_id{0};
  constexpr path_id pending = unseen - 1;
  std::vector<path_id> remap(paths_.size(), unseen);
  std::vector<bool> renamed(step_ ? paths_.size() : 0);  // ids whose text changes
  remap[empty_path_id] = empty_path_id;
  path_pool fresh;
  fresh.reserve(paths_.size(), 0);

  constexpr std::size_t batch_bytes = std::size_t{1} << 20;
  std::string rewritten;  // the batch's rewritten texts; never grows past its reserve
  rewritten.reserve(batch_bytes);
  std::vector<path_id> batch_old;
  std::vector<std::string_view> batch_texts;
  std::vector<path_id> batch_ids;
  auto flush = [&] {
    batch_ids.resize(batch_texts.size());
    fresh.intern_all(batch_texts, batch_ids);
    for (std::size_t k = 0; k < batch_old.size(); ++k) remap[batch_old[k]] = batch_ids[k];
    batch_old.clear();
    batch_texts.clear();
    rewritten.clear();
  };
  std::string one;  // a rewritten text
  for (const file_list& list : all_lists()) {
    for (const path_id id : list) {
      if (remap[id] != unseen) continue;
      remap[id] = pending;
      const std::string_view text = paths_.text(id);
      std::size_t at = text.find(old_text);
      if (at == std::string_view::npos) {
        batch_old.push_back(id);
        batch_texts.push_back(text);
      } else {
        if (step_) renamed[id] = true;
        one.clear();
        std::size_t from = 0;
        while (at != std::string_view::npos) {
          one.append(text, from, at - from);
          one.append(new_text);
          from = at + old_text.size();
          at = text.find(old_text, from);
        }
        one.append(text, from);
        if (rewritten.size() + one.size() > rewritten.capacity()) flush();
        if (one.size() > rewritten.capacity()) {
          remap[id] = fresh.intern(one);  // longer than a whole batch: on its own
          continue;
        }
        const std::size_t start = rewritten.size();
        rewritten.append(one);
        batch_old.push_back(id);
        batch_texts.push_back(std::string_view(rewritten).substr(start));
      }
      if (batch_old.size() == 4096) flush();
    }
  }
  flush();
  if (step_) {
    for (int n = 0; n < multisample_count; ++n)
      if (std::any_of(lists_[n].begin(), lists_[n].end(), [&](path_id id) { return renamed[id]; }))
        note_list(n);
  }
  for (file_list& list : all_lists())
    for (path_id& id : list) id = remap[id];
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
  for (const file_list& list : all_lists())
    for (path_id id : list) count += id != empty_path_id;
  return count == 0 ? 1 : count;
}

bool bank::program_is_used(int i) const {
  for (const std::uint16_t* m : multisample_references(image_->blends[i]))
    if (*m != 0) return true;
  return false;
}

int bank::octave_shift(bool up) {
  int count = 0;
  for (int i = 0; i < program_count; ++i) {
    if (!program_is_used(i)) continue;
    const std::uint8_t t = image_->blends[i].pg_transpose;
    if (up && t <= 36) program(i).pg_transpose += 12;
    if (!up && t >= 12) program(i).pg_transpose -= 12;
    ++count;
  }
  return count;
}

int bank::convert_lfo_speed() {
  static constexpr std::uint8_t table[11] = {20, 32, 41, 50, 57, 62, 70, 77, 81, 90, 90};
  for (int i = 0; i < program_count; ++i) {
    const std::uint8_t speed = image_->blends[i].lfo_speed;
    const std::uint8_t fixed = speed <= 10 ? table[speed] : 75;
    if (fixed != speed) program(i).lfo_speed = fixed;
  }
  return program_count;
}

int bank::clear_qs2_mono_hold() {
  int count = 0;
  for (int i = 0; i < program_count; ++i) {
    const blend& b = image_->blends[i];
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&b);
    if (b.osc_mode == 11 && bytes[blend_mono_hold_offset] != 0) {
      reinterpret_cast<std::uint8_t*>(&program(i))[blend_mono_hold_offset] = 0;
      ++count;
    }
  }
  return count;
}

int bank::fix_accordion_release() {
  int count = 0;
  auto fix_range = [&](int first, int last) {
    for (int i = first; i <= last; ++i) {
      const blend& now = image_->blends[i];
      if (now.release > 150 &&
          reinterpret_cast<const std::uint8_t*>(&now)[blend_accordion_mark_offset] == 0) {
        blend& b = program(i);
        auto* bytes = reinterpret_cast<std::uint8_t*>(&b);
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
