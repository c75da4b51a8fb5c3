#include "audio/duplicates.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/zone_references.h"
#include "platform/codepage.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "ui/percent_gauge.h"
#include "util/text_format.h"

namespace qbank {
namespace {

constexpr std::string_view long_time_question =
    "WARNING!!!\nFunction with Long Time Execution!\n\nAre You Sure to continue?";

// Flagged multisamples: 1..9999 with at least one used slot.
std::vector<std::uint8_t> flag_multisamples(const bank& b, std::uint32_t& flagged) {
  std::vector<std::uint8_t> flags(multisample_count, 0);
  flagged = 0;
  for (int m = 1; m < multisample_count; ++m) {
    for (path_id id : b.files(m)) {
      if (id != empty_path_id) {
        flags[m] = 1;
        ++flagged;
        break;
      }
    }
  }
  return flags;
}

// The per-multisample progress of both searches: the text, then the percentage when it moved.
class search_progress {
 public:
  search_progress(host& h, std::uint32_t total) : host_(h), gauge_(h), total_(total) {}
  void done(int multisample) {
    host_.progress_set_text(format("Checking Multisample: MS%04u", unsigned(multisample)));
    gauge_.set(++done_, total_);
    host_.process_events();
  }

 private:
  host& host_;
  percent_gauge gauge_;
  std::uint32_t total_;
  std::uint32_t done_ = 0;
};

std::string utf8_name(const bank& b, int multisample) {
  return to_utf8(b.multisample_name_text(multisample));
}

std::uint64_t hash_words(const void* data, std::size_t size, std::uint64_t h) {
  constexpr std::uint64_t k = 0x9E3779B97F4A7C15ull;
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (; size >= 8; p += 8, size -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * k;
    h ^= h >> 29;
  }
  std::uint64_t w = 0;
  std::memcpy(&w, p, size);
  h = (h ^ w ^ (std::uint64_t{size} << 56)) * k;
  return h ^ (h >> 32);
}

}  // namespace

std::uint64_t find_duplicate_samples(const bank& b, host& h) {
  std::vector<std::string> lines;
  std::uint64_t pairs = 0;
  {
    progress_scope progress(h, 'c', "Checking For Duplicated Samples...");
    h.progress_set_text("Preparing...");
    std::uint32_t flagged = 0;
    const std::vector<std::uint8_t> flags = flag_multisamples(b, flagged);
    // Every occurrence of each path, as multisample x 128 + slot, in ascending order: the
    // partners of one occurrence are the later ones outside its own multisample.
    const std::size_t ids = b.paths().size();
    std::vector<std::uint32_t> first(ids + 1, 0);
    for (int m = 1; m < multisample_count; ++m)
      if (flags[m])
        for (path_id id : b.files(m))
          if (id != empty_path_id) ++first[id + 1];
    for (std::size_t i = 0; i < ids; ++i) first[i + 1] += first[i];
    std::vector<std::uint32_t> next(first.begin(), first.end() - 1);
    std::vector<std::uint32_t> occurrences(first[ids]);
    for (int m = 1; m < multisample_count; ++m)
      if (flags[m])
        for (int j = 0; j < slots_per_multisample; ++j)
          if (const path_id id = b.file_id(m, j); id != empty_path_id)
            occurrences[next[id]++] = static_cast<std::uint32_t>(m * slots_per_multisample + j);
    std::copy(first.begin(), first.end() - 1, next.begin());

    h.progress_set_text("Starting...");
    search_progress step(h, flagged);
    for (int a = 1; a < multisample_count; ++a) {
      if (!flags[a]) continue;
      for (int p = 0; p < slots_per_multisample; ++p) {
        const path_id id = b.file_id(a, p);
        if (id == empty_path_id) continue;
        std::uint32_t q = next[id]++;
        const std::uint32_t end = first[id + 1];
        while (++q < end && occurrences[q] / slots_per_multisample == unsigned(a)) {
        }
        if (q >= end) continue;
        const std::string path = to_utf8(b.paths().text(id));
        for (; q < end; ++q) {
          const unsigned other = occurrences[q] / slots_per_multisample;
          const unsigned other_slot = occurrences[q] % slots_per_multisample;
          ++pairs;
          lines.push_back("Dublicate Found! " + std::string(43, '-'));
          lines.push_back(format("Sample %03u from MS%04u: ", unsigned(p), unsigned(a)) + path);
          lines.push_back("and");
          lines.push_back(format("Sample %03u from MS%04u: ", other_slot, other) + path);
          lines.push_back(std::string());
        }
      }
      step.done(a);
    }
  }
  if (pairs > 0) show_report(h, "Report: Check for DUPLICATED samples!", lines);
  return pairs;
}

std::uint32_t remove_duplicate_multisamples(bank& b, host& h) {
  std::vector<std::string> lines;
  std::uint32_t deleted = 0;
  {
    progress_scope progress(h, 'c', "Remove Duplicated Multisamples...");
    h.progress_set_text("Preparing...");
    std::uint32_t flagged = 0;
    std::vector<std::uint8_t> flags = flag_multisamples(b, flagged);
    // The lowest multisample of each group of equal slot lists, by a hash of the list's ids
    // (equal texts have equal ids), confirmed by comparing the lists.
    std::unordered_map<std::uint64_t, std::vector<int>> firsts;
    firsts.reserve(flagged);
    std::vector<std::vector<int>> copies(multisample_count);
    for (int m = 1; m < multisample_count; ++m) {
      if (!flags[m]) continue;
      const file_list& list = b.files(m);
      std::vector<int>& candidates = firsts[hash_words(list.data(), sizeof list, 0)];
      int kept = m;
      for (int c : candidates)
        if (b.files(c) == list) kept = c;
      if (kept == m)
        candidates.push_back(m);
      else
        copies[kept].push_back(m);
    }
    // The zones naming each multisample, in program order and zone order within a program.
    struct reference {
      std::uint32_t program;
      std::uint32_t zone;  // index into multisample_references
    };
    std::vector<std::uint32_t> first(multisample_count + 1, 0);
    auto for_each_zone = [&b](auto&& visit) {
      for (std::uint32_t i = 0; i < program_count; ++i) {
        const auto zones = multisample_references(b.program(static_cast<int>(i)));
        for (std::uint32_t z = 0; z < zones.size(); ++z) visit(i, z, *zones[z]);
      }
    };
    for_each_zone([&](std::uint32_t, std::uint32_t, std::uint16_t m) {
      if (m < multisample_count) ++first[m + 1];
    });
    for (int m = 0; m < multisample_count; ++m) first[m + 1] += first[m];
    std::vector<reference> refs(first[multisample_count]);
    {
      std::vector<std::uint32_t> fill(first.begin(), first.end() - 1);
      for_each_zone([&](std::uint32_t i, std::uint32_t z, std::uint16_t m) {
        if (m < multisample_count) refs[fill[m]++] = {i, z};
      });
    }
    auto zone_of = [&b](const reference& r) -> std::uint16_t& {
      return *multisample_references(b.program(static_cast<int>(r.program)))[r.zone];
    };

    h.progress_set_text("Starting...");
    search_progress step(h, flagged);
    for (int k = 1; k < multisample_count; ++k) {
      if (!flags[k]) continue;
      for (int l : copies[k]) {
        ++deleted;
        lines.push_back("Duplicated Multisample Found! " + std::string(75, '-'));
        lines.push_back(format("Multisample  MS%04u: %s", unsigned(l), utf8_name(b, l).c_str()) +
                        format("  is equal to previous multisample  MS%04u: %s", unsigned(k),
                               utf8_name(b, k).c_str()));
        std::uint32_t heading_for = ~0u;
        for (std::uint32_t r = first[l]; r < first[l + 1]; ++r) {
          std::uint16_t& zone = zone_of(refs[r]);
          if (zone != l) continue;
          zone = static_cast<std::uint16_t>(k);
          const reference& ref = refs[r];
          if (heading_for != ref.program) {
            heading_for = ref.program;
            lines.push_back(
                format(ref.zone < 8 ? "   Program  PG%04u: %s  uses reasigned multisample:"
                                    : "Program  PG%04u: %s  uses reasigned multisample:",
                       ref.program, to_utf8(b.program_name_text(int(ref.program))).c_str()));
          }
          if (ref.zone < 8)
            lines.push_back(format("      Zone VZ%02u: multisample is reassigned: MS%04u -> MS%04u",
                                   ref.zone, unsigned(l), unsigned(k)));
          else if (ref.zone < 10)
            lines.push_back(format("      Zone %s: multisample is reassigned: MS%04u -> MS%04u",
                                   ref.zone == 8 ? "LegZ" : "RelZ", unsigned(l), unsigned(k)));
          else
            lines.push_back(format("      Zone MZ%02u: multisample is reassigned: MS%04u -> MS%04u",
                                   ref.zone - 10, unsigned(l), unsigned(k)));
        }
        b.reset_multisample(l);
        lines.push_back(format("      Multisample MS%04u  is DELETED!", unsigned(l)));
        lines.push_back(std::string());
        flags[l] = 0;
      }
      step.done(k);
    }
  }
  if (deleted > 0) show_report(h, "Report: Remove DUPLICATED samples!", lines);
  return deleted;
}

bool duplicate_samples_command(const bank& b, host& h) {
  if (!h.ask(long_time_question, "Checking for DUPLICATED samples!")) return false;
  if (find_duplicate_samples(b, h) == 0)
    h.message("No DUPLICATED samples found!", "Checking for DUPLICATED samples...");
  return true;
}

bool remove_duplicate_multisamples_command(bank& b, host& h) {
  if (!h.ask(long_time_question, "Remove DUPLICATED Multisamples!")) return false;
  if (remove_duplicate_multisamples(b, h) == 0)
    h.message("No DUPLICATED Multisamples found!", "Remove DUPLICATED Multisamples...");
  return true;
}

namespace {

struct audio_file {
  path_id id;
  std::filesystem::path path;
  int channels;
  std::uint64_t data_offset;
  std::uint32_t data_bytes;
  std::uint64_t file_size;
};

constexpr std::size_t content_block = 1u << 20;

std::uint64_t hash_audio(const audio_file& f) {
  input_file in(f.path);
  in.seek(f.data_offset);
  std::vector<std::uint8_t> block(content_block);
  std::uint64_t h = f.data_bytes;
  for (std::uint64_t left = f.data_bytes; left > 0;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    if (in.read(block.data(), n) != n) throw file_error(f.path, "the file became shorter");
    h = hash_words(block.data(), n, h);
    left -= n;
  }
  return h;
}

bool same_audio(const audio_file& a, const audio_file& b) {
  input_file x(a.path), y(b.path);
  x.seek(a.data_offset);
  y.seek(b.data_offset);
  std::vector<std::uint8_t> bx(content_block), by(content_block);
  for (std::uint64_t left = a.data_bytes; left > 0;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, content_block));
    if (x.read(bx.data(), n) != n || y.read(by.data(), n) != n) return false;
    if (std::memcmp(bx.data(), by.data(), n) != 0) return false;
    left -= n;
  }
  return true;
}

}  // namespace

std::vector<content_group> find_duplicate_content(const bank& b, host& h) {
  progress_scope progress(h, 'c', "Checking For Duplicated Audio...");
  h.progress_set_text("Preparing...");
  // Each distinct path once, in the order the bank first names it.
  std::vector<std::uint8_t> seen(b.paths().size(), 0);
  std::vector<path_id> order;
  for (int m = 1; m < multisample_count; ++m)
    for (path_id id : b.files(m))
      if (id != empty_path_id && !seen[id]) {
        seen[id] = 1;
        order.push_back(id);
      }
  // Only files that share a channel layout and an audio length can be equal: group by both
  // from the headers, and read the audio of the groups that have more than one file.
  std::vector<audio_file> files;
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> by_shape;
  // Reading the headers fills the first half of the gauge, comparing audio the second.
  percent_gauge gauge(h);
  auto show_percent = [&](std::size_t done, std::size_t total, int half) {
    if (gauge.set(half * (total == 0 ? 1 : total) + done, 2 * (total == 0 ? 1 : total)))
      h.process_events();
  };
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::string_view stored = b.paths().text(order[i]);
    audio_file f{order[i], native_path(stored), 0, 0, 0, 0};
    show_percent(i, order.size(), 0);
    if (!file_exists(f.path)) continue;
    h.progress_set_title(native_path_text(stored));
    try {
      input_file in(f.path);
      const std::optional<wav_layout> audio = find_wav_audio(in);
      if (!audio || audio->data_bytes == 0) continue;
      f.channels = audio->channels;
      f.data_offset = audio->data_offset;
      f.data_bytes = audio->data_bytes;
      f.file_size = in.size();
    } catch (const file_error& e) {
      h.progress_hide();
      h.message(e.what(), "Error");
      continue;
    }
    by_shape[(std::uint64_t{f.data_bytes} << 2) | unsigned(f.channels)].push_back(files.size());
    files.push_back(std::move(f));
  }

  h.progress_set_text("Comparing...");
  // class_of[i]: the index of the first file with the same audio as file i.
  std::vector<std::size_t> class_of(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) class_of[i] = i;
  std::size_t compared = 0;
  for (auto& [shape, members] : by_shape) {
    if (members.size() < 2) continue;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> by_hash;
    for (std::size_t i : members) {
      h.progress_set_title(native_path_text(b.paths().text(files[i].id)));
      show_percent(++compared, files.size(), 1);
      try {
        std::vector<std::size_t>& firsts = by_hash[hash_audio(files[i])];
        bool placed = false;
        for (std::size_t f : firsts)
          if (!placed && same_audio(files[f], files[i])) {
            class_of[i] = f;
            placed = true;
          }
        if (!placed) firsts.push_back(i);
      } catch (const file_error& e) {
        h.progress_hide();
        h.message(e.what(), "Error");
      }
    }
  }

  std::vector<content_group> groups;
  std::vector<std::size_t> group_of(files.size(), SIZE_MAX);
  // The files of each group, for telling apart the paths that name one file.
  std::vector<std::vector<std::size_t>> members;
  // Files are in first-named order, so groups come out in the order of their first file.
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::size_t c = class_of[i];
    if (c == i) continue;
    if (group_of[c] == SIZE_MAX) {
      group_of[c] = groups.size();
      groups.push_back({{std::string(b.paths().text(files[c].id))}, files[c].data_bytes, 0});
      members.push_back({c});
    }
    content_group& g = groups[group_of[c]];
    g.paths.emplace_back(b.paths().text(files[i].id));
    // Paths can name one file (another spelling of its folder, a link): merging frees its bytes
    // once, and nothing when it is the file kept.
    std::vector<std::size_t>& earlier = members[group_of[c]];
    if (std::none_of(earlier.begin(), earlier.end(),
                     [&](std::size_t e) { return same_file(files[e].path, files[i].path); }))
      g.saved_bytes += files[i].file_size;
    earlier.push_back(i);
  }
  return groups;
}

bool duplicate_content_command(const bank& b, host& h) {
  if (!h.ask(long_time_question, "Checking for DUPLICATED audio!")) return false;
  const std::vector<content_group> groups = find_duplicate_content(b, h);
  if (groups.empty()) {
    h.message("No WAV files with identical audio found!", "Checking for DUPLICATED audio...");
    return true;
  }
  std::uint64_t files = 0, saved = 0;
  for (const content_group& g : groups) {
    files += g.paths.size();
    saved += g.saved_bytes;
  }
  std::vector<std::string> lines = {
      format("Groups of WAV files with identical audio: %zu, files: %llu", groups.size(),
             static_cast<unsigned long long>(files)),
      "Merging them would save: " + group_thousands(saved) + " bytes.", std::string()};
  for (const content_group& g : groups) {
    lines.push_back(format("Identical audio in %zu files (", g.paths.size()) +
                    group_thousands(g.data_bytes) + " bytes of audio each):");
    for (const std::string& p : g.paths) lines.push_back("   " + to_utf8(p));
    lines.push_back("   Merging would save: " + group_thousands(g.saved_bytes) + " bytes.");
    lines.push_back(std::string());
  }
  show_report(h, "Report: DUPLICATED audio content", lines);
  return true;
}

}  // namespace qbank
