#include "manager/program_transfer.h"

#include <algorithm>
#include <cstring>

#include "manager/s2_bank.h"
#include "ui/host.h"

namespace qbank {
namespace {

constexpr std::string_view last_position = "Not possible!\nThis is last program position!";
constexpr std::string_view outside_last =
    "Not possible!\nGo outside last program position in destination bank!";

// A 64-bit key of a name and a file list. Four independent lanes over the ids keep the
// multiplications from waiting on one another; collisions are settled by a full comparison.
std::uint64_t key(std::string_view name, const file_list& files) {
  constexpr std::uint64_t prime = 0x100'0000'01B3ull;
  std::uint64_t lanes[4] = {0xCBF2'9CE4'8422'2325ull, 0x9E37'79B9'7F4A'7C15ull,
                            0xC2B2'AE3D'27D4'EB4Full, 0x1656'67B1'9E37'79F9ull};
  for (char c : name) lanes[0] = (lanes[0] ^ static_cast<std::uint8_t>(c)) * prime;
  for (std::size_t j = 0; j < files.size(); j += 4)
    for (std::size_t k = 0; k < 4; ++k) lanes[k] = (lanes[k] ^ files[j + k]) * prime;
  std::uint64_t h = lanes[0];
  for (std::size_t k = 1; k < 4; ++k) h = (h ^ (lanes[k] >> 29)) * prime + lanes[k];
  return h | 1;  // 0 stays free for "never matches"
}

bool all_empty(const file_list& files) {
  return std::all_of(files.begin(), files.end(), [](path_id id) { return id == empty_path_id; });
}

std::string_view name_view(const char (&name)[name_size]) {
  return {name, strnlen(name, name_size)};
}

int row_after(int last) {
  return std::min(last + 1, last_program);
}

}  // namespace

multisample_index::multisample_index(const bank& main)
    : main_(main), keys_(multisample_count, 0), free_(multisample_count, false) {
  for (int n = 1; n < multisample_count; ++n) index(n);
}

void multisample_index::index(int n) {
  keys_[n] = key(name_view(main_.multisample(n).name), main_.files(n));
  free_[n] = all_empty(main_.files(n));
  if (free_[n] && n < first_free_) first_free_ = n;
}

void multisample_index::update(int n) {
  if (n <= 0 || n >= multisample_count) return;
  index(n);
  if (n == first_free_ && !free_[n]) {
    while (first_free_ < multisample_count && !free_[first_free_]) ++first_free_;
  }
}

int multisample_index::find_equal(std::string_view name, const file_list& files) const {
  const std::uint64_t wanted = key(name, files);
  for (int n = 1; n < multisample_count; ++n)
    if (keys_[n] == wanted && name_view(main_.multisample(n).name) == name &&
        main_.files(n) == files)
      return n;
  return 0;
}

void transfer_program(bank& main, const bank& source, int d, int s, host& h) {
  multisample_index index(main);
  transfer_program(main, source, d, s, index, h);
}

void transfer_program(bank& main, const bank& source, int d, int s, multisample_index& index,
                      host& h) {
  blend& target = main.program(d);
  target = source.program(s);
  for (std::uint16_t* ref : multisample_references(target)) {
    const int from = *ref;
    if (from == 0) continue;
    if (from >= multisample_count) {
      // A number past the last multisample names nothing that could be copied.
      *ref = 0;
      continue;
    }
    const struct multisample& m = source.multisample(from);
    file_list files;
    for (int j = 0; j < slots_per_multisample; ++j)
      files[j] =
          source.slot_is_empty(from, j) ? empty_path_id : main.paths().intern(source.file(from, j));
    int to = index.find_equal(name_view(m.name), files);
    if (to == 0) {
      to = index.first_free();
      if (to == 0) {
        h.message("No free multisample in main bank!", "Error");
        *ref = 0;
        continue;
      }
      struct multisample& placed = main.multisample(to);
      std::memcpy(placed.name, m.name, name_size);
      std::memcpy(placed.comment, m.comment, comment_size);
      for (int j = 0; j < slots_per_multisample; ++j) main.set_file_id(to, j, files[j]);
      index.update(to);
    }
    *ref = static_cast<std::uint16_t>(to);
  }
}

std::optional<manager_rows> transfer_one_line(bank& main, const bank& source, manager_rows rows,
                                              host& h) {
  if (rows.main >= last_program - 1 || rows.other >= last_program - 1) {
    h.message(last_position, "Bank Manager");
    return std::nullopt;
  }
  transfer_program(main, source, rows.main, rows.other, h);
  return manager_rows{rows.main + 1, rows.other + 1};
}

std::optional<manager_rows> transfer_range(bank& main, const bank& source, int d0, int top,
                                           int bottom, host& h) {
  const int last = d0 + (bottom - top);
  if (last > last_program) {
    h.message(outside_last, "Bank Manager");
    return std::nullopt;
  }
  multisample_index index(main);
  for (int s = top; s <= bottom; ++s) transfer_program(main, source, d0 + (s - top), s, index, h);
  return manager_rows{row_after(last), row_after(bottom)};
}

void import_s2_multisample(bank& main, const s2_bank& s2, int k) {
  main.reset_multisample(k);
  const s2_multisample& from = s2.multisample(k);
  struct multisample& to = main.multisample(k);
  std::memcpy(to.name, from.name, name_size);
  std::memcpy(to.comment, from.data, comment_size);
  for (int j = 0; j < slots_per_multisample; ++j) {
    to.slots[j].first_sector = from.slots[j].first_sector();
    to.slots[j].sector_count = from.slots[j].sector_count;
    main.set_file(k, j, s2.file(k, j));
  }
}

void import_sound(bank& main, const s2_bank& s2, int n) {
  static constexpr std::uint8_t osc_table[28] = {0,  1,  2,  3,  4, 5, 6, 0, 0, 9, 10, 11, 12, 0,
                                                 14, 15, 16, 17, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0};
  static constexpr std::uint8_t speed_table[11] = {20, 32, 41, 50, 57, 62, 70, 77, 81, 90, 90};
  // (program byte, sound byte) of the parameters copied unchanged.
  static constexpr std::pair<std::uint16_t, std::uint16_t> copied[] = {
      {16, 240},  {17, 242},  {19, 220},  {22, 325},  {23, 26},   {24, 232},  {26, 236},
      {27, 24},   {346, 32},  {347, 33},  {351, 226}, {353, 30},  {354, 324}, {355, 340},
      {358, 341}, {359, 343}, {363, 316}, {376, 233}, {377, 31},  {392, 35},  {396, 28},
      {397, 29},  {400, 305}, {401, 227}, {402, 250}, {439, 25},  {458, 21},  {459, 34},
      {472, 27},  {473, 22},  {474, 225}, {476, 224}, {477, 221}, {478, 222}, {479, 223},
      {508, 244}, {509, 245}, {510, 246}, {511, 247}};
  main.reset_program(n);
  blend& p = main.program(n);
  const s2_sound& sound = s2.sound(n);
  auto* to = reinterpret_cast<std::uint8_t*>(&p);
  const auto* from = reinterpret_cast<const std::uint8_t*>(&sound);
  std::memcpy(p.name, sound.name, name_size);
  for (const auto& [at, source_at] : copied) to[at] = from[source_at];
  p.osc_mode = from[20] < std::size(osc_table) ? osc_table[from[20]] : 0;
  p.lfo_speed = from[304] < std::size(speed_table) ? speed_table[from[304]] : 75;
  p.pg_transpose = from[237] >= 24 ? static_cast<std::uint8_t>(from[237] - 24) : 24;
  to[328] = to[329] = to[330] = to[339] = 0;

  // A zone is taken when it names a multisample that exists and sounds (volume not 0).
  auto usable = [](const zone& z) {
    return z.multisample != 0 && z.volume != 0 && z.multisample < multisample_count;
  };
  for (int i = 0; i < 8; ++i) {
    const zone& z = sound.zones[i];
    if (!usable(z)) continue;
    p.zones[i] = z;
    import_s2_multisample(main, s2, z.multisample);
  }
  extra_zone* extras[4] = {&p.mod_zones[0], &p.mod_zones[1], &p.mod_zones[2], &p.release_zone};
  for (int i = 0; i < 4; ++i) {
    const zone& z = sound.zones[16 + i];
    if (!usable(z)) continue;
    *extras[i] = {z.multisample, z.volume, z.transpose};
    import_s2_multisample(main, s2, z.multisample);
  }
}

std::optional<manager_rows> import_sound_range(bank& main, const s2_bank& s2, manager_rows rows,
                                               int top, int bottom, host& h) {
  if (rows.main >= last_program - 1 || rows.other >= last_program - 1) {
    h.message(last_position, "Bank Manager");
    return std::nullopt;
  }
  for (int n = top; n <= bottom; ++n) import_sound(main, s2, n);
  const int next = row_after(bottom);
  return manager_rows{next, next};
}

}  // namespace qbank
