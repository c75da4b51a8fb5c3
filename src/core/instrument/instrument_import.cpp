#include "instrument/instrument_import.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "audio/conform_codec.h"
#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "bank/stored_paths.h"
#include "edit/typed_name.h"
#include "manager/program_transfer.h"
#include "platform/codepage.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/text_format.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

constexpr int max_numbered_names = 9999;
// A slot counts its sectors in 16 bits and the bank folds stereo to mono: 2 bytes a frame.
constexpr std::uint64_t max_slot_frames = 65535ull * sector_size / 2;
// The peak a lowered region reaches: a little below full scale, leaving room for the dither.
constexpr float lowered_peak = 32765.0f / 32768.0f;
constexpr int longest_envelope_ms = 3999;

// `utf8` as a name the code page holds and every file system takes: characters the code page
// has no form for and those no file name may hold become '_'.
std::string fitting_name(std::string_view utf8, std::string_view fallback) {
  std::string out;
  for (std::size_t k = 0; k < utf8.size();) {
    std::size_t n = 1;
    const auto c = static_cast<unsigned char>(utf8[k]);
    if (c >= 0xF0)
      n = 4;
    else if (c >= 0xE0)
      n = 3;
    else if (c >= 0xC0)
      n = 2;
    const std::string_view piece = utf8.substr(k, n);
    k += n;
    const bool usable = (piece == "." || usable_name(piece)) && from_utf8(piece).has_value();
    out += usable ? std::string(piece) : std::string("_");
  }
  // Windows drops trailing dots and blanks from names; "." and ".." name other folders.
  while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
  while (!out.empty() && out.front() == ' ') out.erase(out.begin());
  return usable_name(out) ? out : std::string(fallback);
}

// The first `count` characters of UTF-8 text.
std::string first_characters(std::string_view utf8, std::size_t count) {
  std::size_t k = 0;
  for (std::size_t seen = 0; k < utf8.size(); ++k) {
    if ((static_cast<unsigned char>(utf8[k]) & 0xC0) == 0x80) continue;
    if (seen++ == count) break;
  }
  return std::string(utf8.substr(0, k));
}

std::string velocity_text(int lo, int hi) {
  return format("%03d-%03d", lo, hi);
}

// Velocity layers of the regions that are not release-triggered, in ascending order; more than
// max_import_layers are merged pairwise, the closest neighbours first.
std::vector<import_layer> velocity_layers(const instrument& inst, std::vector<std::string>& notes) {
  std::map<std::pair<int, int>, std::vector<int>> windows;
  for (std::size_t k = 0; k < inst.regions.size(); ++k) {
    const region& r = inst.regions[k];
    if (!r.release_trigger) windows[{r.lo_vel, r.hi_vel}].push_back(static_cast<int>(k));
  }
  std::vector<import_layer> layers;
  for (auto& [window, regions] : windows) {
    import_layer& l = layers.emplace_back();
    l.velo_low = window.first;
    l.velo_high = window.second;
    l.regions = std::move(regions);
  }
  while (layers.size() > max_import_layers) {
    std::size_t best = 0;
    int best_distance = 0;
    for (std::size_t k = 0; k + 1 < layers.size(); ++k) {
      const int d = std::abs(layers[k + 1].velo_low - layers[k].velo_low) +
                    std::abs(layers[k + 1].velo_high - layers[k].velo_high);
      if (k == 0 || d < best_distance) {
        best = k;
        best_distance = d;
      }
    }
    import_layer& a = layers[best];
    import_layer& b = layers[best + 1];
    const int lo = std::min(a.velo_low, b.velo_low), hi = std::max(a.velo_high, b.velo_high);
    notes.push_back("Merged: velocity layers " + velocity_text(a.velo_low, a.velo_high) + " and " +
                    velocity_text(b.velo_low, b.velo_high) + " merged into " +
                    velocity_text(lo, hi) + ": the program has 8 basic zones");
    a.velo_low = lo;
    a.velo_high = hi;
    a.regions.insert(a.regions.end(), b.regions.begin(), b.regions.end());
    layers.erase(layers.begin() + static_cast<std::ptrdiff_t>(best) + 1);
  }
  return layers;
}

// Each key of the layer to the first of its regions covering it; a region left with keys
// another one already holds is reported (a round robin, or an overlap, beyond the first).
void assign_slots(import_layer& l, const instrument& inst, std::vector<std::string>& notes) {
  l.slot_region.fill(-1);
  for (int k : l.regions) {
    const region& r = inst.regions[k];
    l.key_low = std::min(l.key_low, r.lo_key);
    l.key_high = std::max(l.key_high, r.hi_key);
    int taken = 0, by = -1;
    for (int n = r.lo_key; n <= r.hi_key; ++n) {
      if (l.slot_region[n] < 0) {
        l.slot_region[n] = k;
      } else {
        ++taken;
        if (by < 0) by = l.slot_region[n];
      }
    }
    if (taken > 0)
      notes.push_back(format(
          "Not carried over: region %s: %d of its keys are played by region %s (a round robin "
          "or overlapping region beyond the first has no place in a program)",
          r.origin.c_str(), taken, inst.regions[by].origin.c_str()));
  }
}

// The layer's zone volume from the amplitude of its first region that gives one (percent of
// the full 127); a region of the layer that asks for another is reported.
void zone_volume(import_layer& l, const instrument& inst, std::vector<std::string>& notes) {
  std::optional<double> first;
  for (int k : l.regions) {
    const region& r = inst.regions[k];
    if (!r.amplitude) continue;
    if (!first) {
      first = r.amplitude;
      l.volume = std::clamp(static_cast<int>(std::lround(*first * 127.0 / 100.0)), 0, 127);
    } else if (*r.amplitude != *first) {
      notes.push_back(
          format("Changed: region %s: amplitude %g%% differs from its zone's %g%%; "
                 "the zone plays at %g%%",
                 r.origin.c_str(), *r.amplitude, *first, *first));
    }
  }
}

// The amplitude envelope's value in milliseconds: the first region's that gives one.
std::optional<int> envelope_ms(const instrument& inst, std::optional<double> region::*field,
                               const char* what, std::vector<std::string>& notes) {
  const region* first = nullptr;
  bool differs = false;
  for (const region& r : inst.regions) {
    if (r.release_trigger || !(r.*field)) continue;
    if (!first)
      first = &r;
    else if (*(r.*field) != *(first->*field))
      differs = true;
  }
  if (!first) return std::nullopt;
  const double seconds = *(first->*field);
  const long ms = std::lround(seconds * 1000.0);
  const int kept = static_cast<int>(std::clamp<long>(ms, 0, longest_envelope_ms));
  if (differs)
    notes.push_back(
        format("Changed: the %s time differs between regions; the program has one, %d ms, "
               "from region %s",
               what, kept, first->origin.c_str()));
  if (kept != ms)
    notes.push_back(
        format("Changed: the %s time %.3f s is outside 0..3999 ms: %d ms", what, seconds, kept));
  return kept;
}

std::string layer_name(const std::string& base, const std::string& suffix) {
  if (suffix.empty()) return first_characters(base, name_size);
  return first_characters(base, name_size - suffix.size()) + suffix;
}

}  // namespace

import_plan plan_import(const bank& b, const instrument& inst) {
  import_plan plan;
  plan.name = fitting_name(inst.name, "Instrument");
  if (inst.regions.empty()) throw command_error("The instrument holds no region to import.");
  plan.layers = velocity_layers(inst, plan.notes);
  {
    import_layer release;
    release.release = true;
    for (std::size_t k = 0; k < inst.regions.size(); ++k)
      if (inst.regions[k].release_trigger) release.regions.push_back(static_cast<int>(k));
    if (!release.regions.empty()) plan.layers.push_back(std::move(release));
  }
  const bool several = plan.layers.size() > 1;
  int number = 0;
  for (import_layer& l : plan.layers) {
    assign_slots(l, inst, plan.notes);
    if (l.release) {
      l.name = layer_name(plan.name, several ? " Rel" : "");
      l.folder = "Release";
    } else {
      ++number;
      l.name = layer_name(plan.name, several ? " " + std::to_string(number) : "");
      l.folder = format("Layer %d", number);
    }
  }
  for (import_layer& l : plan.layers) zone_volume(l, inst, plan.notes);
  plan.attack_ms = envelope_ms(inst, &region::attack, "attack", plan.notes);
  plan.release_ms = envelope_ms(inst, &region::release, "release", plan.notes);

  // The multisamples: free ones from 1 up, none taken twice.
  std::vector<bool> taken(multisample_count, false);
  int next = 1;
  for (import_layer& l : plan.layers) {
    while (next < multisample_count && (taken[next] || b.multisample_has_files(next))) ++next;
    if (next >= multisample_count) throw command_error("No free multisample in main bank!");
    l.multisample = next;
    taken[next] = true;
  }
  return plan;
}

namespace {

// One region's audio, read whole: from its own file, or from the SoundFont's sample data.
void read_region_audio(const region& r, const fs::path& file, decoded_audio& audio) {
  const auto fail = [&](const std::string& source, const std::string& why) {
    throw instrument_error("Region " + r.origin + ": the sample " + source + " " + why);
  };
  if (!r.embedded) {
    const std::string source = "\"" + path_to_utf8(r.sample) + "\"";
    std::string why;
    try {
      input_file in(r.sample);
      why = decode_audio(in, r.offset, r.end, audio);
    } catch (const file_error& e) {
      fail(source, "cannot be opened: " + e.reason());
    }
    if (!why.empty()) fail(source, why);
    return;
  }
  const embedded_sample& e = *r.embedded;
  const std::string source = "in \"" + path_to_utf8(file) + "\" (smpl chunk)";
  const std::uint64_t length = e.end - e.start;
  const std::uint64_t stop = std::min(r.end.value_or(length), length);
  if (r.offset >= stop) fail(source, "holds no audio between its first and last frame");
  std::uint64_t frames = stop - r.offset;
  const bool stereo = e.side == sample_side::stereo;
  if (stereo) {
    const std::uint64_t right = e.link_end - e.link_start;
    frames = right > r.offset ? std::min(frames, right - r.offset) : 0;
    if (frames == 0) fail(source, "has a right half shorter than its first frame");
  }
  audio.channels = stereo ? 2 : 1;
  audio.sample_rate = e.rate;
  audio.exact = e.sm24_offset == 0;
  audio.samples.assign(static_cast<std::size_t>(frames) * audio.channels, 0.0f);
  try {
    input_file in(file);
    std::vector<std::uint8_t> words, low;
    for (int channel = 0; channel < audio.channels; ++channel) {
      const std::uint64_t first = (channel == 0 ? e.start : e.link_start) + r.offset;
      constexpr std::uint64_t block = 65536;
      for (std::uint64_t done = 0; done < frames;) {
        const auto n = static_cast<std::size_t>(std::min(block, frames - done));
        words.resize(2 * n);
        in.seek(e.smpl_offset + 2 * (first + done));
        if (in.read(words.data(), words.size()) != words.size())
          fail(source, "ends before its last frame");
        if (e.sm24_offset != 0) {
          low.resize(n);
          in.seek(e.sm24_offset + first + done);
          if (in.read(low.data(), n) != n) fail(source, "ends before its last frame (sm24 chunk)");
        }
        for (std::size_t k = 0; k < n; ++k) {
          const auto word = static_cast<std::int16_t>(words[2 * k] | words[2 * k + 1] << 8);
          const float v = e.sm24_offset != 0
                              ? static_cast<float>(word * 256 + low[k]) * (1.0f / 8388608.0f)
                              : static_cast<float>(word) * (1.0f / 32768.0f);
          audio.samples[static_cast<std::size_t>(done + k) * audio.channels + channel] = v;
        }
        done += n;
      }
    }
  } catch (const file_error& err) {
    fail(source, "cannot be read: " + err.reason());
  }
}

bool same_bytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(path, ec)) || fs::file_size(path, ec) != bytes.size())
    return false;
  try {
    input_file in(path);
    std::vector<std::uint8_t> block(65536);
    for (std::size_t done = 0; done < bytes.size();) {
      const std::size_t n = in.read(block.data(), std::min(block.size(), bytes.size() - done));
      if (n == 0 || std::memcmp(block.data(), bytes.data() + done, n) != 0) return false;
      done += n;
    }
    return true;
  } catch (const file_error&) {
    return false;
  }
}

std::string numbered(const std::string& stem, int k) {
  return k == 1 ? stem + ".wav" : stem + " (" + std::to_string(k) + ").wav";
}

// Writes the files of one import, keeping what it wrote until the import has ended: a failure
// removes them again.
class file_placer {
 public:
  explicit file_placer(fs::path into) : into_(std::move(into)) {}
  ~file_placer() {
    if (done_) return;
    std::error_code ec;
    for (const fs::path& p : written_) fs::remove(p, ec);
    // Deepest first; a folder that holds anything else stays.
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) fs::remove(*it, ec);
  }
  file_placer(const file_placer&) = delete;
  file_placer& operator=(const file_placer&) = delete;

  // The path of `bytes` below `folder` named `stem` (".wav" appended, numbered when the name
  // holds other audio); writes it unless the same bytes are there.
  fs::path place(const fs::path& folder, const std::string& stem,
                 const std::vector<std::uint8_t>& bytes) {
    if (checked_.insert(folder).second) {
      std::vector<fs::path> missing;
      std::error_code ec;
      for (fs::path f = folder; f != into_ && f.has_relative_path(); f = f.parent_path())
        if (!fs::exists(fs::symlink_status(f, ec))) missing.push_back(f);
      if (!create_folders_below(into_, folder))
        throw file_error(folder, "the folder cannot be created");
      created_.insert(created_.end(), missing.rbegin(), missing.rend());
    }
    for (int k = 1; k <= max_numbered_names; ++k) {
      const fs::path path = folder / path_from_utf8(numbered(stem, k));
      std::error_code ec;
      if (fs::symlink_status(path, ec).type() == fs::file_type::not_found) {
        atomic_output_file out(path, into_);
        out.write(bytes.data(), bytes.size());
        out.commit();
        written_.push_back(path);
        ++written;
        return path;
      }
      if (same_bytes(path, bytes)) {
        ++reused;
        return path;
      }
    }
    throw file_error(folder / path_from_utf8(numbered(stem, 1)), "no free name for the file");
  }

  // Creates DIR itself, to be removed again on a failure when it was not there.
  void make_root() {
    std::error_code ec;
    const bool missing = !fs::exists(fs::symlink_status(into_, ec));
    if (!create_folders(into_)) throw file_error(into_, "the folder cannot be created");
    if (missing) created_.insert(created_.begin(), into_);
  }

  void keep() { done_ = true; }

  unsigned written = 0;
  unsigned reused = 0;

 private:
  fs::path into_;
  std::vector<fs::path> written_;
  std::vector<fs::path> created_;  // folders this run made, parents first
  std::set<fs::path> checked_;
  bool done_ = false;
};

struct layer_counts {
  int played = 0;    // the sample at its own pitch
  int rendered = 0;  // a pitched rendering
  int empty = 0;     // keys of the zone's window with no audio
  unsigned files = 0;
};

// Renders one region's keys of a layer into the slots.
class region_renderer {
 public:
  region_renderer(const instrument& inst, const import_plan& plan, const import_options& o,
                  file_placer& files, host& h)
      : inst_(inst), plan_(plan), options_(o), files_(files), host_(h) {}

  std::vector<std::string> notes;
  std::size_t keys_done = 0, keys_total = 0;

  void layer(const import_layer& l, std::array<std::string, slots_per_multisample>& slots,
             layer_counts& counts) {
    const fs::path folder = options_.into / path_from_utf8(plan_.name) / path_from_utf8(l.folder);
    for (int k : l.regions) {
      const region& r = inst_.regions[k];
      std::vector<int> keys;
      for (int n = r.lo_key; n <= r.hi_key; ++n)
        if (l.slot_region[n] == k) keys.push_back(n);
      if (keys.empty()) continue;
      region_keys(r, keys, folder, slots, counts);
    }
    for (int n = l.key_low; n <= l.key_high; ++n)
      if (slots[n].empty()) ++counts.empty;
  }

 private:
  void region_keys(const region& r, const std::vector<int>& keys, const fs::path& folder,
                   std::array<std::string, slots_per_multisample>& slots, layer_counts& counts) {
    decoded_audio audio;
    read_region_audio(r, options_.file, audio);
    if (audio.channels < 1 || audio.channels > 2)
      throw instrument_error(
          format("Region %s: the sample has %d channels; the instrument plays mono or stereo",
                 r.origin.c_str(), audio.channels));
    float gain = static_cast<float>(std::pow(10.0, r.volume / 20.0));
    float peak = 0;
    for (float v : audio.samples) peak = std::max(peak, std::fabs(v));
    if (peak * gain > lowered_peak) {
      const float lowered = lowered_peak / peak;
      notes.push_back(
          format("Changed: region %s: its gain of %+.1f dB would clip; lowered to %+.2f dB",
                 r.origin.c_str(), r.volume, 20.0 * std::log10(lowered)));
      gain = lowered;
    }
    const bool tracks = r.pitch_keytrack && options_.fill == fill_mode::render;
    std::string shared;  // the one file every key plays when the pitch does not follow the key
    for (int n : keys) {
      host_.progress_set_percent(static_cast<std::uint8_t>(
          keys_total == 0 ? 100 : std::min<std::size_t>(keys_done * 100 / keys_total, 100)));
      host_.process_events();
      ++keys_done;
      if (options_.fill == fill_mode::root && n != r.root_key) continue;
      const int key = tracks ? n : r.root_key;
      const double semitones = key - r.root_key + r.transpose + r.tune / 100.0;
      if (!tracks && !shared.empty()) {
        slots[n] = shared;
        ++counts.played;
        continue;
      }
      const double rate = audio.sample_rate * std::pow(2.0, semitones / 12.0);
      if (rendered_frames(audio.frames(), rate) > max_slot_frames) {
        notes.push_back(
            format("Not filled: region %s, key %03d: its rendering is too long "
                   "for a slot",
                   r.origin.c_str(), n));
        continue;
      }
      bytes_.clear();
      const byte_writer to_memory = [this](const void* data, std::size_t count) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + count);
      };
      const conform_outcome outcome = write_rendered(audio, rate, gain, to_memory);
      if (!outcome.ok) throw instrument_error("Region " + r.origin + ": " + outcome.reason);
      if (outcome.clipped > 0) clipped_ += outcome.clipped;
      const fs::path path =
          files_.place(folder, format("%s %03d", plan_.name.c_str(), key), bytes_);
      slots[n] = stored_path(path);
      if (!tracks) shared = slots[n];
      if (semitones == 0 || !tracks)
        ++counts.played;
      else
        ++counts.rendered;
    }
    if (clipped_ > 0) {
      notes.push_back(
          format("Changed: region %s: %llu samples of its renderings were limited to full "
                 "scale",
                 r.origin.c_str(), static_cast<unsigned long long>(clipped_)));
      clipped_ = 0;
    }
  }

  const instrument& inst_;
  const import_plan& plan_;
  const import_options& options_;
  file_placer& files_;
  host& host_;
  std::vector<std::uint8_t> bytes_;
  std::uint64_t clipped_ = 0;
};

std::string stored_name(const std::string& utf8) {
  return from_utf8(utf8).value_or(std::string());
}

// A layer whose multisample the bank already holds, equal in name and files (the same
// instrument imported before), plays that one instead of a new copy, as a transfer does.
void reuse_equal_multisamples(
    bank& b, import_plan& plan,
    const std::vector<std::array<std::string, slots_per_multisample>>& slots) {
  const multisample_index index(b);
  std::vector<int> used;
  for (std::size_t k = 0; k < plan.layers.size(); ++k) {
    file_list files;
    files.fill(empty_path_id);
    for (int n = 0; n < slots_per_multisample; ++n)
      if (!slots[k][n].empty()) files[n] = b.paths().intern(slots[k][n]);
    const int equal = index.find_equal(stored_name(plan.layers[k].name), files);
    if (equal > 0 && std::find(used.begin(), used.end(), equal) == used.end()) {
      plan.layers[k].multisample = equal;
      used.push_back(equal);
    }
  }
}

std::string key_text(int lo, int hi) {
  return lo > hi ? std::string("none") : format("%03d-%03d", lo, hi);
}

// The program and multisamples of the plan, with the slots' paths.
void store_plan(bank& b, const import_plan& plan, const import_options& o,
                const std::vector<std::array<std::string, slots_per_multisample>>& slots) {
  // A program reset forgets the loaded file; a script the bank came from stays its file (Save
  // goes back there). A bank file no longer holds what the bank plays, so it is forgotten.
  const std::string loaded = b.loaded_file_name();
  b.reset_program(o.program);
  if (!looks_like_bank_file(path_from_utf8(loaded)) && file_exists(path_from_utf8(loaded)))
    b.set_loaded_file_name(loaded);
  blend& p = b.program(o.program);
  store_typed_name(p.name, stored_name(first_characters(plan.name, name_size)));
  int zone = 0;
  for (std::size_t k = 0; k < plan.layers.size(); ++k) {
    const import_layer& l = plan.layers[k];
    b.reset_multisample(l.multisample);
    store_typed_name(b.multisample(l.multisample).name, stored_name(l.name));
    for (int n = 0; n < slots_per_multisample; ++n)
      if (!slots[k][n].empty()) b.set_file(l.multisample, n, slots[k][n]);
    if (l.release) {
      p.release_zone.multisample = static_cast<std::uint16_t>(l.multisample);
      p.release_zone.volume = static_cast<std::uint8_t>(l.volume);
      continue;
    }
    struct zone& z = p.zones[zone++];
    z.multisample = static_cast<std::uint16_t>(l.multisample);
    z.velo_low = static_cast<std::uint8_t>(l.velo_low);
    z.velo_high = static_cast<std::uint8_t>(l.velo_high);
    z.volume = static_cast<std::uint8_t>(l.volume);
    z.key_low = static_cast<std::uint8_t>(std::min(l.key_low, l.key_high));
    z.key_high = static_cast<std::uint8_t>(l.key_high);
  }
  if (plan.attack_ms) p.attack = static_cast<std::uint16_t>(*plan.attack_ms);
  if (plan.release_ms) p.release = static_cast<std::uint16_t>(*plan.release_ms);
}

}  // namespace

import_totals import_instrument(bank& b, const instrument& inst, const import_options& options,
                                host& h) {
  if (!conform_available()) throw command_error(std::string(import_unavailable_text));
  if (options.program < 0 || options.program > last_program)
    throw command_error(
        format("There is no program %d: programs are 0..%d.", options.program, last_program));
  import_options o = options;
  o.into = fs::absolute(options.into);
  stored_path(o.into);  // refuses a folder whose name the bank's code page cannot hold
  {
    std::error_code ec;
    if (fs::exists(o.into, ec) && !fs::is_directory(o.into, ec))
      throw command_error("\"" + path_to_utf8(o.into) + "\" is not a folder.");
  }
  import_plan plan = plan_import(b, inst);

  std::vector<std::array<std::string, slots_per_multisample>> slots(plan.layers.size());
  std::vector<layer_counts> counts(plan.layers.size());
  file_placer files(o.into);
  region_renderer render(inst, plan, o, files, h);
  {
    progress_scope progress(h, 'w', "Import instrument " + inst.name + "...");
    for (const import_layer& l : plan.layers)
      for (int n = 0; n < slots_per_multisample; ++n) render.keys_total += l.slot_region[n] >= 0;
    files.make_root();
    for (std::size_t k = 0; k < plan.layers.size(); ++k) {
      h.progress_set_text(plan.layers[k].folder);
      const unsigned before = files.written + files.reused;
      render.layer(plan.layers[k], slots[k], counts[k]);
      counts[k].files = files.written + files.reused - before;
    }
  }
  reuse_equal_multisamples(b, plan, slots);
  store_plan(b, plan, o, slots);
  files.keep();

  std::vector<std::string> lines;
  lines.push_back("Instrument: " + inst.name + " (" + path_to_utf8(o.file) + ")");
  lines.push_back(format("Program %04d: %s", o.program, plan.name.c_str()));
  for (std::size_t k = 0; k < plan.layers.size(); ++k) {
    const import_layer& l = plan.layers[k];
    const layer_counts& c = counts[k];
    const std::string zone = l.release ? std::string("Release zone")
                                       : format("Zone %zu, velocity %s", k + 1,
                                                velocity_text(l.velo_low, l.velo_high).c_str());
    lines.push_back(
        format("%s, keys %s: multisample %04d \"%s\"; %d keys filled (%d played, %d "
               "rendered), %d empty; %u files",
               zone.c_str(), key_text(l.key_low, l.key_high).c_str(), l.multisample, l.name.c_str(),
               c.played + c.rendered, c.played, c.rendered, c.empty, c.files));
  }
  if (plan.attack_ms) lines.push_back(format("Attack: %d ms", *plan.attack_ms));
  if (plan.release_ms) lines.push_back(format("Release: %d ms", *plan.release_ms));
  lines.push_back(format("Files: %u written, %u already there, below %s", files.written,
                         files.reused, path_to_utf8(o.into / path_from_utf8(plan.name)).c_str()));
  lines.insert(lines.end(), plan.notes.begin(), plan.notes.end());
  lines.insert(lines.end(), render.notes.begin(), render.notes.end());
  for (const std::string& n : inst.not_carried_over) lines.push_back("Not carried over: " + n);
  show_report(h, import_report_title, lines);
  return {files.written, files.reused};
}

}  // namespace qbank
