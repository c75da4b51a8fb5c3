#include "cli/inputs.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "bank/script_file.h"
#include "bank/start_sector.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "util/text_format.h"

namespace qbank::cli {
namespace {

std::string json_escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += format("\\u%04x", c);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

input_kind detect_input(const std::filesystem::path& path, const input_options& options) {
  if (options.bank) return input_kind::bank;
  if (options.from_version != 0) return input_kind::script;
  return looks_like_bank_file(path) ? input_kind::bank : input_kind::script;
}

int load_input(bank& b, const std::filesystem::path& path, const input_options& options, host& h) {
  if (detect_input(path, options) == input_kind::bank) {
    int version = 0;
    open_bank_file(b, path, h, &version);
    return version;
  }
  const int version = options.from_version == 0 ? 6 : options.from_version;
  open_script(b, path, version, h);
  return version;
}

input_summary summarise(const bank& b, const std::filesystem::path& path, input_kind kind,
                        int version) {
  input_summary s;
  s.kind = kind;
  s.version = version;
  for (int i = 0; i < program_count; ++i) s.used_programs += b.program_is_used(i);
  std::unordered_set<path_id> distinct;
  for (int n = 0; n < multisample_count; ++n) {
    bool any = false;
    for (path_id id : b.files(n)) {
      if (id == empty_path_id) continue;
      any = true;
      ++s.used_slots;
      distinct.insert(id);
    }
    s.multisamples_with_files += any;
  }
  s.distinct_paths = static_cast<std::uint32_t>(distinct.size());
  if (kind == input_kind::bank) {
    for (int part = 0; part <= 98; ++part) {
      const std::filesystem::path p =
          part == 0 ? path : path_with_extension(path, format(".Q%02d", part));
      std::error_code ec;
      const auto size = std::filesystem::file_size(p, ec);
      if (ec) continue;
      ++s.parts_found;
      s.total_size += size;
    }
    for (int n = 0; n < multisample_count; ++n)
      for (const slot& sl : b.multisample(n).slots) s.audio_sectors += sl.sector_count;
  }
  return s;
}

std::string summary_text(const input_summary& s) {
  std::string out;
  out += format("kind: %s\n", s.kind == input_kind::bank ? "bank file" : "script");
  out += format("version: %d\n", s.version);
  out += format("used programs: %d\n", s.used_programs);
  out += format("multisamples holding files: %d\n", s.multisamples_with_files);
  out += format("used slots: %u\n", s.used_slots);
  out += format("distinct paths: %u\n", s.distinct_paths);
  if (s.kind == input_kind::bank) {
    out += "total size: " + group_thousands(s.total_size) + " bytes\n";
    out += format("parts found: %d\n", s.parts_found);
    out += format("audio sectors: %llu\n", static_cast<unsigned long long>(s.audio_sectors));
  }
  return out;
}

std::string summary_json(const input_summary& s, const std::filesystem::path& path) {
  std::string out = "{";
  out += "\"path\": \"" + json_escape(path_to_utf8(path)) + "\", ";
  out += format("\"kind\": \"%s\", ", s.kind == input_kind::bank ? "bank" : "script");
  out += format("\"version\": %d, \"used_programs\": %d, \"multisamples_with_files\": %d, ",
                s.version, s.used_programs, s.multisamples_with_files);
  out += format("\"used_slots\": %u, \"distinct_paths\": %u", s.used_slots, s.distinct_paths);
  if (s.kind == input_kind::bank)
    out += format(", \"total_size\": %llu, \"parts_found\": %d, \"audio_sectors\": %llu",
                  static_cast<unsigned long long>(s.total_size), s.parts_found,
                  static_cast<unsigned long long>(s.audio_sectors));
  out += "}\n";
  return out;
}

}  // namespace qbank::cli
