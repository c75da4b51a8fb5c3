#include "edit/bulk_operations.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bank/bank.h"
#include "bank/zone_references.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "ui/percent_gauge.h"
#include "util/text_format.h"

namespace qbank {
namespace {

constexpr std::string_view are_you_sure = "Are You Sure ?";

void check_range(int first, int last, int low, int high) {
  if (first < low || last > high || first > last)
    throw std::out_of_range(
        format("The range %d..%d is outside %d..%d or reversed.", first, last, low, high));
}

std::string shown_name(const bank& b, int multisample) {
  return to_utf8(b.multisample_name_text(multisample));
}

// True when `name` (code-page bytes) can be the file-name part of a marker on every system the
// banks travel between: no folder separator, no character Windows refuses, not "." or "..".
bool usable_file_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

}  // namespace

std::vector<bool> used_multisamples(const bank& b) {
  std::vector<bool> used(multisample_count, false);
  for (int i = 0; i < program_count; ++i)
    for (const std::uint16_t* m : multisample_references(b.program(i)))
      if (*m < multisample_count) used[*m] = true;
  return used;
}

bool remove_program(bank& b, host& h, int program) {
  check_range(program, program, 0, last_program);
  if (!h.ask(are_you_sure, "Remove Program")) return false;
  b.reset_program(program);
  return true;
}

bool remove_multisample(bank& b, host& h, int multisample) {
  check_range(multisample, multisample, 1, last_multisample);
  if (!h.ask(are_you_sure, "Remove Multisample")) return false;
  b.reset_multisample(multisample);
  return true;
}

bool remove_program_range(bank& b, host& h, int first, int last) {
  check_range(first, last, 0, last_program);
  if (!h.ask(are_you_sure, "Remove Multiple Programs")) return false;
  for (int i = first; i <= last; ++i) b.reset_program(i);
  return true;
}

bool remove_multisample_range(bank& b, host& h, int first, int last) {
  check_range(first, last, 1, last_multisample);
  if (!h.ask(are_you_sure, "Remove Multiple Multisamples")) return false;
  for (int m = first; m <= last; ++m) b.reset_multisample(m);
  return true;
}

std::uint32_t remove_unused_multisamples(bank& b, host& h) {
  std::vector<std::string> lines;
  std::uint32_t count = 0;
  {
    progress_scope progress(h, 'c', "Remove UNUSED Multisamples...");
    const std::vector<bool> used = used_multisamples(b);
    percent_gauge gauge(h);
    for (int m = 1; m <= last_multisample; ++m) {
      if (!used[m]) {
        if (b.multisample_has_files(m)) {
          ++count;
          lines.push_back(format("MS%04u  %s", unsigned(m), shown_name(b, m).c_str()));
        }
        b.reset_multisample(m);
      }
      // The window breathes whenever the gauge moves.
      if (gauge.set(m, multisample_count)) h.process_events();
    }
  }
  if (count > 0) {
    lines.insert(lines.begin(), {format("Removed multisamples: %u", count), std::string()});
    show_report(h, "Report: Removed Multisamples Names", lines);
  }
  return count;
}

bool remove_unused_multisamples_command(bank& b, host& h) {
  if (!h.ask(are_you_sure, "Remove UNUSED Multisamples")) return false;
  if (remove_unused_multisamples(b, h) == 0)
    h.message("No UNUSED multisamples found!", "Remove UNUSED Multisamples...");
  return true;
}

std::uint32_t where_used_report(const bank& b, host& h, int multisample) {
  std::vector<std::string> lines;
  for (int i = 0; i < program_count; ++i) {
    const auto refs = multisample_references(b.program(i));
    if (std::any_of(refs.begin(), refs.end(),
                    [multisample](const std::uint16_t* m) { return *m == multisample; }))
      lines.push_back(
          format("Program: %04u: %s", unsigned(i), to_utf8(b.program_name_text(i)).c_str()));
  }
  const auto count = static_cast<std::uint32_t>(lines.size());
  if (count == 0) {
    h.message("This multisample is not used in any program!", "Info");
  } else {
    lines.insert(lines.begin(),
                 format("Multisample [%u] is used in %u programs:", unsigned(multisample), count));
    show_report(h, "Report: Multisample in programs", lines);
  }
  return count;
}

void export_program_names(const bank& b, const std::filesystem::path& path, host& h) {
  progress_scope progress(h, 'w', "Saving TXT file...");
  percent_gauge gauge(h);
  // Names go to the file as stored, in the bank's code page.
  std::string text;
  text.reserve((program_count + multisample_count) * 32);
  const std::string rule(38, '-');
  text += "Program Names:\r\n" + rule + "\r\n";
  for (int p = 0; p < program_count; ++p) {
    text += format("%03d. ", p) + b.program_name_text(p) + "\r\n";
    if (gauge.set(p, program_count)) h.process_events();
  }
  text += "\r\n\r\nMultisamples:\r\n" + rule + "\r\n";
  for (int m = 1; m <= last_multisample; ++m) {
    text += format("MS%04d. ", m) + b.multisample_name_text(m) + "\r\n";
    if (gauge.set(m, multisample_count)) h.process_events();
  }
  atomic_output_file out(path);
  out.write(text);
  out.commit();
}

std::uint32_t save_multisample_name_markers(const bank& b, host& h) {
  std::vector<std::string> lines;
  std::uint32_t created = 0;
  for (int m = 0; m < multisample_count; ++m) {
    const file_list& list = b.files(m);
    int first = 0;
    while (first < slots_per_multisample && list[first] == empty_path_id) ++first;
    if (first == slots_per_multisample) continue;
    const std::string name = b.multisample_name_text(m);
    if (!usable_file_name(name)) {
      lines.push_back(format("MS%04u: the name \"%s\" cannot be a file name; no marker written.",
                             unsigned(m), to_utf8(name).c_str()));
      continue;
    }
    const std::string_view folder = stored_folder(b.file(m, first));
    // A path without a folder keeps its marker beside it, never at the root of the drive.
    std::string marker = folder.empty() ? std::string() : std::string(folder) + "\\";
    marker += name + ".msn";
    try {
      // The folder is the bank's; the marker's own name is never followed to another file.
      atomic_output_file out(native_path(marker), native_path(folder));
      out.commit();
    } catch (const link_in_the_way& e) {
      lines.push_back("Not written, a link is in the way: " + path_to_utf8(e.path()));
      continue;
    }
    lines.push_back(native_path_text(marker));
    ++created;
  }
  lines.insert(lines.begin(), {format("Created files: %u", created), std::string()});
  show_report(h, "Report: Saved Multisamples Names", lines);
  return created;
}

std::uint32_t reset_zone_transpose(bank& b) {
  std::uint32_t count = 0;
  auto fix = [&count](std::uint8_t& transpose) {
    if (transpose == 0) {
      transpose = 64;
      ++count;
    }
  };
  for (int i = 0; i < program_count; ++i) {
    blend& p = b.program(i);
    for (zone& z : p.zones) fix(z.transpose);
    fix(p.legato_zone.transpose);
    fix(p.release_zone.transpose);
    for (extra_zone& z : p.mod_zones) fix(z.transpose);
  }
  return count;
}

std::uint32_t reset_program_transpose(bank& b) {
  std::uint32_t count = 0;
  for (int i = 0; i < program_count; ++i) {
    blend& p = b.program(i);
    if (p.pg_transpose == 0) {
      p.pg_transpose = 24;
      ++count;
    }
  }
  return count;
}

std::uint32_t run_program_fix(bank& b, host& h, program_fix fix) {
  auto info = [&h](const char* what, int count) {
    h.message(format("%s%d programs", what, count), "Info");
    return static_cast<std::uint32_t>(count);
  };
  switch (fix) {
    case program_fix::zone_transpose:
      return reset_zone_transpose(b);
    case program_fix::program_transpose:
      return reset_program_transpose(b);
    case program_fix::octave_up:
      return info("Transposed ", b.octave_shift(true));
    case program_fix::octave_down:
      return info("Transposed ", b.octave_shift(false));
    case program_fix::lfo_speed:
      return info("Fixed LFO in ", b.convert_lfo_speed());
    case program_fix::qs2_mono_hold:
      return info("Fixed Mono Hold in ", b.clear_qs2_mono_hold());
    case program_fix::accordion_release:
      return info("Fixed Diapazone Release in ", b.fix_accordion_release());
  }
  return 0;
}

}  // namespace qbank
