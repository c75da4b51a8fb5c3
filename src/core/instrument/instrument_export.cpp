#include "instrument/instrument_export.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "bank/bank.h"
#include "bank/bank_format.h"
#include "bank/split_file.h"
#include "edit/program_parameters.h"
#include "manager/wav_export.h"
#include "platform/codepage.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "ui/host.h"

#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include <zip.h>

#include <ctime>
#endif

namespace fs = std::filesystem;

namespace qbank {
namespace {

// A number with at most `decimals` places, trailing zeros dropped ("0.3", "100", "78.74").
std::string decimal(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string s = text;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

// The 16-byte name as UTF-8, trailing blanks trimmed.
std::string name_text(std::string stored) {
  while (!stored.empty() && (stored.back() == ' ' || stored.back() == '\0')) stored.pop_back();
  return to_utf8(stored);
}

// `name` as one file name on every system: characters no file system takes, and those an SFZ
// sample path cannot hold ('<', '=', '$'), become '_'; trailing dots and blanks go.
std::string file_name_of(std::string name, bool& replaced) {
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || std::strchr("\\/:*?\"<>|=$", c) != nullptr) {
      c = '_';
      replaced = true;
    }
  }
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    name.pop_back();
    replaced = true;
  }
  while (!name.empty() && name.front() == ' ') name.erase(name.begin());
  return name;
}

// Text for XML attribute values and comments.
std::string xml_escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A comment's text that cannot end the comment early.
std::string comment_safe(std::string text, instrument_format format) {
  const std::string_view end = format == instrument_format::sfz ? "*/" : "--";
  for (std::size_t k; (k = text.find(end)) != std::string::npos;) text[k + 1] = ' ';
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

int semitones(std::uint8_t stored, int zero) {
  return static_cast<int>(stored) - zero;
}

// The program's parameters that the formats have no place for and that differ from a reset
// program: "lfo_speed 40".
std::vector<std::string> unplaced_parameters(const blend& p) {
  blend reset{};
  reset_blend(reset);
  std::vector<std::string> out;
  for (const program_parameter& f : program_parameters()) {
    const std::string_view field = f.field;
    if (field == "attack" || field == "release" || field == "pg_transpose") continue;
    const int value = f.get(p);
    if (value != f.get(reset)) out.push_back(std::string(field) + " " + std::to_string(value));
  }
  return out;
}

struct zone_view {
  std::string title;  // "Zone 1", "Release zone"
  std::uint16_t multisample;
  std::uint8_t volume;
  int transpose;  // semitones, zone and program together
  int velo_low = 0, velo_high = 127, key_low = 0, key_high = 127;
  bool release = false;
};

class text_writer {
 public:
  text_writer(const bank& b, int p, instrument_format format,
              const std::function<std::optional<std::string>(int, int)>& sample,
              std::vector<std::string>& not_carried)
      : b_(b), p_(p), format_(format), sample_(sample), not_carried_(not_carried) {}

  std::string run(const std::string& default_path) {
    const blend& p = b_.program(p_);
    const std::string title = "Program " + std::to_string(p_) + " \"" +
                              name_text(b_.program_name_text(p_)) + "\", written by qbank";
    const std::vector<std::string> params = unplaced_parameters(p);
    std::string params_line;
    for (const std::string& s : params) params_line += (params_line.empty() ? "" : ", ") + s;
    if (!params.empty()) not_carried_.push_back("parameters: " + params_line);
    const std::string attack = decimal(p.attack / 1000.0, 3);
    const std::string release = decimal(p.release / 1000.0, 3);
    const int program_transpose = semitones(p.pg_transpose, 24);

    std::vector<zone_view> zones;
    for (int z = 0; z < 8; ++z) {
      const zone& s = p.zones[z];
      if (s.multisample == 0) continue;
      zones.push_back({"Zone " + std::to_string(z + 1), s.multisample, s.volume,
                       semitones(s.transpose, 64) + program_transpose, s.velo_low, s.velo_high,
                       s.key_low, s.key_high});
    }
    if (p.release_zone.multisample != 0)
      zones.push_back({"Release zone", p.release_zone.multisample, p.release_zone.volume,
                       semitones(p.release_zone.transpose, 64) + program_transpose});
    if (!zones.empty() && zones.back().title == "Release zone") zones.back().release = true;
    std::vector<std::string> unplaced_zones;
    if (p.legato_zone.multisample != 0)
      unplaced_zones.push_back("legato zone: " + multisample_title(p.legato_zone.multisample));
    for (int z = 0; z < 4; ++z)
      if (p.mod_zones[z].multisample != 0)
        unplaced_zones.push_back("modulation zone " + std::to_string(z + 1) + ": " +
                                 multisample_title(p.mod_zones[z].multisample));
    for (const std::string& s : unplaced_zones) not_carried_.push_back(s);

    if (format_ == instrument_format::sfz) {
      comment(title);
      if (!params.empty()) comment("No SFZ opcode for: " + params_line);
      for (const std::string& s : unplaced_zones) comment("No place in SFZ for the " + s);
      if (!default_path.empty()) out_ += "<control>\ndefault_path=" + default_path + "\n";
      for (const zone_view& z : zones) {
        out_ += "\n";
        comment(z.title + ": " + multisample_title(z.multisample));
        out_ += "<group>\n";
        if (z.release) out_ += "trigger=release ";
        out_ += "lovel=" + std::to_string(z.velo_low) + " hivel=" + std::to_string(z.velo_high) +
                " lokey=" + std::to_string(z.key_low) + " hikey=" + std::to_string(z.key_high) +
                " transpose=" + std::to_string(z.transpose) +
                " amplitude=" + decimal(z.volume * 100.0 / 127.0, 2) + " ampeg_attack=" + attack +
                " ampeg_release=" + release + "\n";
        for_each_region(z, [&](int key, const std::string& path) {
          out_ += "<region> key=" + std::to_string(key) +
                  " pitch_keycenter=" + std::to_string(key) + " sample=" + path + "\n";
        });
      }
    } else {
      out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
      comment(title);
      if (!params.empty()) comment("No DecentSampler attribute for: " + params_line);
      for (const std::string& s : unplaced_zones) comment("No place in DecentSampler for the " + s);
      out_ += "<DecentSampler minVersion=\"1.0.0\">\n";
      out_ += "  <groups attack=\"" + attack + "\" decay=\"0\" sustain=\"1\" release=\"" + release +
              "\">\n";
      for (const zone_view& z : zones) {
        out_ += "    ";
        comment(z.title + ": " + multisample_title(z.multisample));
        out_ += "    <group name=\"" + xml_escaped(z.title) + "\"";
        if (z.release) out_ += " trigger=\"release\"";
        out_ += " volume=\"" + decimal(z.volume / 127.0, 4) + "\" groupTuning=\"" +
                std::to_string(z.transpose) + "\">\n";
        for_each_region(z, [&](int key, const std::string& path) {
          const std::string k = std::to_string(key);
          out_ += "      <sample path=\"" + xml_escaped(path) + "\" rootNote=\"" + k +
                  "\" loNote=\"" + k + "\" hiNote=\"" + k + "\" loVel=\"" +
                  std::to_string(z.velo_low) + "\" hiVel=\"" + std::to_string(z.velo_high) +
                  "\"/>\n";
        });
        out_ += "    </group>\n";
      }
      out_ += "  </groups>\n</DecentSampler>\n";
    }
    return std::move(out_);
  }

 private:
  std::string multisample_title(int m) const {
    return "multisample " + std::to_string(m) + " \"" + name_text(b_.multisample_name_text(m)) +
           "\"";
  }

  void comment(const std::string& text) {
    if (format_ == instrument_format::sfz)
      out_ += "// " + comment_safe(text, format_) + "\n";
    else
      out_ += "<!-- " + comment_safe(text, format_) + " -->\n";
  }

  // The regions of zone `z`: its multisample's slots with audio inside the zone's keys.
  template <typename F>
  void for_each_region(const zone_view& z, F&& region) {
    int outside = 0;
    for (int key = 0; key < slots_per_multisample; ++key) {
      if (b_.slot_is_empty(z.multisample, key)) continue;
      if (key < z.key_low || key > z.key_high) {
        ++outside;
        continue;
      }
      if (std::optional<std::string> path = sample_(z.multisample, key)) region(key, *path);
    }
    if (outside > 0)
      not_carried_.push_back(z.title + ": " + std::to_string(outside) + " slots outside its keys " +
                             std::to_string(z.key_low) + "-" + std::to_string(z.key_high) +
                             " are not played and not written");
  }

  const bank& b_;
  int p_;
  instrument_format format_;
  const std::function<std::optional<std::string>(int, int)>& sample_;
  std::vector<std::string>& not_carried_;
  std::string out_;
};

// Whether the file at `path` holds exactly the bytes `bytes` hands out, piece by piece.
bool file_holds(const fs::path& path, std::string_view bytes) {
  try {
    input_file in(path);
    if (in.size() != bytes.size()) return false;
    std::vector<char> buffer(65536);
    std::size_t at = 0;
    while (at < bytes.size()) {
      const std::size_t n = in.read(buffer.data(), buffer.size());
      if (n == 0 || std::memcmp(buffer.data(), bytes.data() + at, n) != 0) return false;
      at += n;
    }
    return true;
  } catch (const file_error&) {
    return false;
  }
}

// Whether two files hold the same bytes.
bool same_content(const fs::path& a, const fs::path& b) {
  try {
    input_file x(a), y(b);
    if (x.size() != y.size()) return false;
    std::vector<char> bx(65536), by(65536);
    while (true) {
      const std::size_t n = x.read(bx.data(), bx.size());
      if (n == 0) return true;
      if (y.read(by.data(), n) != n || std::memcmp(bx.data(), by.data(), n) != 0) return false;
    }
  } catch (const file_error&) {
    return false;
  }
}

// "NAME.ext", "NAME (2).ext", ... : the k-th candidate for a file.
fs::path numbered(const fs::path& folder, const std::string& stem, const std::string& ext, int k) {
  return folder / path_from_utf8(k == 1 ? stem + ext : stem + " (" + std::to_string(k) + ")" + ext);
}

class exporter {
 public:
  exporter(const bank& b, const fs::path& dir, const instrument_export_options& o, host& h)
      : b_(b), dir_(dir), o_(o), h_(h) {}

  instrument_export_report run(const std::vector<int>& programs) {
    make_folder(dir_);
    if (o_.audio_from_bank) {
      reader_ = std::make_unique<MySplitFileReaderClass>(h_);
      if (!reader_->Open(path_from_utf8(b_.loaded_file_name()), true))
        throw command_error("cannot open the bank file " + b_.loaded_file_name());
    }
    for (int p : programs) program(p);
    return std::move(report_);
  }

 private:
  void make_folder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder))
      throw command_error("cannot make the folder " + path_to_utf8(folder) +
                          (ec ? ": " + ec.message() : ""));
  }

  void program(int p) {
    bool replaced = false;
    const std::string stem = instrument_file_stem(b_, p, &replaced);
    const std::string ext = instrument_extension(o_.format);
    const std::string where = "program " + std::to_string(p) + ": ";
    if (replaced)
      report_.renamed.push_back(where + "\"" + name_text(b_.program_name_text(p)) +
                                "\" written as \"" + stem + "\"");
    const bool copies = o_.copy_audio || o_.audio_from_bank;
    const std::string audio_folder = stem;
    copied_.clear();
    taken_.clear();
    std::vector<std::string> not_carried;
    // The SFZ's default_path makes the copies' paths short; DecentSampler has none.
    const bool with_default = copies && o_.format == instrument_format::sfz;
    auto sample = [&](int m, int j) -> std::optional<std::string> {
      std::optional<std::string> name =
          copies ? copy_of(m, j, audio_folder, not_carried) : original_of(m, j, not_carried);
      if (name && copies && !with_default) return audio_folder + "/" + *name;
      return name;
    };
    const std::string text = instrument_text(b_, p, o_.format, sample,
                                             with_default ? audio_folder + "/" : "", not_carried);
    for (const std::string& s : not_carried) report_.notes.push_back(where + s);
    write_new(dir_, stem, ext, text);
    if (copies && o_.format == instrument_format::dspreset) library(stem, text, where);
  }

  // STEM.dslibrary: the preset and its audio in one zip file, as DecentSampler opens it.
  void library(const std::string& stem, const std::string& text, const std::string& where) {
#ifdef QBANK_HAVE_XML_INSTRUMENTS
    // The library is made under a temporary name of our own, then placed like every file.
    const fs::path target = dir_ / path_from_utf8(stem + ".dslibrary");
    atomic_output_file reserve(target, dir_);
    const fs::path temp = reserve.release();
    const std::string temp_name = path_to_utf8(temp);
    auto fail = [&](const std::string& why) {
      std::error_code ec;
      fs::remove(temp, ec);
      throw command_error("cannot write " + path_to_utf8(target) + ": " + why);
    };
    int error = 0;
    zip_t* z = zip_open(temp_name.c_str(), ZIP_TRUNCATE, &error);
    if (!z) fail("the zip file cannot be made");
    // Fixed times and methods: the same program gives the same bytes, so that exporting again
    // finds the earlier library the same and keeps it.
    constexpr std::time_t fixed_time = 946684800;  // 2000-01-01
    auto add = [&](const std::string& name, zip_source_t* source, bool compress) {
      const zip_int64_t k =
          source ? zip_file_add(z, name.c_str(), source, ZIP_FL_ENC_UTF_8) : zip_int64_t{-1};
      if (k < 0) {
        if (source) zip_source_free(source);
        const std::string why = zip_strerror(z);
        zip_discard(z);
        fail(why);
      }
      zip_set_file_compression(z, static_cast<zip_uint64_t>(k),
                               compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
      zip_file_set_mtime(z, static_cast<zip_uint64_t>(k), fixed_time, 0);
    };
    add(stem + ".dspreset", zip_source_buffer(z, text.data(), text.size(), 0), true);
    std::set<std::string> added;
    for (const auto& [key, name] : copied_) {
      if (!added.insert(name).second) continue;
      const std::string file = path_to_utf8(dir_ / path_from_utf8(stem) / path_from_utf8(name));
      add(stem + "/" + name, zip_source_file(z, file.c_str(), 0, -1), false);
    }
    if (zip_close(z) != 0) {
      const std::string why = zip_strerror(z);
      zip_discard(z);
      fail(why);
    }
    place(temp, dir_, stem + ".dslibrary", nullptr);
#else
    (void)text;
    report_.notes.push_back(where + "no .dslibrary written: this build makes no zip files");
    (void)stem;
#endif
  }

  // The relative path from `dir` to the slot's own file, or none (with a note) when the SFZ text
  // could not hold it.
  std::optional<std::string> original_of(int m, int j, std::vector<std::string>& notes) {
    const fs::path file = fs::absolute(native_path(b_.file(m, j))).lexically_normal();
    fs::path rel = file.lexically_relative(fs::absolute(dir_).lexically_normal());
    if (rel.empty()) rel = file;
    std::string text = path_to_utf8(rel);
    std::replace(text.begin(), text.end(), '\\', '/');
    if (o_.format == instrument_format::sfz && !sfz_can_hold(text)) {
      notes.push_back("multisample " + std::to_string(m) + " slot " + std::to_string(j) +
                      ": the path " + text + " cannot be written in SFZ (copy the audio)");
      return std::nullopt;
    }
    return text;
  }

  static bool sfz_can_hold(std::string_view path) {
    if (path.find_first_of("<$\r\n") != std::string_view::npos) return false;
    if (path.find("//") != std::string_view::npos || path.find("/*") != std::string_view::npos)
      return false;
    if (path.empty() || path.front() == ' ' || path.back() == ' ') return false;
    // A blank followed by "word=" would start an opcode.
    for (std::size_t k = path.find(' '); k != std::string_view::npos; k = path.find(' ', k + 1)) {
      std::size_t r = k + 1;
      while (r < path.size() &&
             (std::isalnum(static_cast<unsigned char>(path[r])) || path[r] == '_'))
        ++r;
      if (r > k + 1 && r < path.size() && path[r] == '=') return false;
    }
    return true;
  }

  // The name of slot (m, j)'s audio inside the audio folder, copied there once per run.
  std::optional<std::string> copy_of(int m, int j, const std::string& folder_name,
                                     std::vector<std::string>& notes) {
    const std::string_view entry = b_.file(m, j);
    // One copy per distinct audio: per stored path for files, per place for bank audio.
    std::string key(entry);
    if (o_.audio_from_bank) {
      const slot& s = b_.multisample(m).slots[j];
      key = std::to_string(s.first_sector) + ":" + std::to_string(s.sector_count) + ":" + key;
    }
    if (auto it = copied_.find(key); it != copied_.end()) return it->second;
    bool replaced = false;
    std::string name = file_name_of(to_utf8(std::string(stored_file_name(entry))), replaced);
    if (name.empty()) name = std::to_string(m) + "-" + std::to_string(j) + ".wav";
    const std::string where = "multisample " + std::to_string(m) + " slot " + std::to_string(j);
    const fs::path folder = dir_ / path_from_utf8(folder_name);
    make_folder(folder);
    // The audio into a temporary file first; then it takes the first free name, or the name of a
    // file holding the same bytes.
    const fs::path probe = folder / path_from_utf8(".qbank-export.wav");
    {
      atomic_output_file out(probe, dir_);
      try {
        if (o_.audio_from_bank) {
          if (!export_slot_audio(*reader_, b_.multisample(m).slots[j],
                                 [&](const void* d, std::size_t n) { out.write(d, n); })) {
            notes.push_back(where + ": the bank file does not hold its audio; not written");
            return std::nullopt;
          }
        } else {
          input_file in(native_path(entry));
          std::vector<char> buffer(1 << 16);
          for (std::size_t n; (n = in.read(buffer.data(), buffer.size())) > 0;)
            out.write(buffer.data(), n);
        }
      } catch (const file_error& e) {
        notes.push_back(where + ": cannot read " + native_path_text(entry) + " (" + e.reason() +
                        "); not written");
        return std::nullopt;
      }
      const fs::path temp = out.release();
      const std::string chosen = place(temp, folder, name, &taken_);
      if (replaced)
        report_.renamed.push_back(where + ": \"" + to_utf8(std::string(stored_file_name(entry))) +
                                  "\" written as \"" + chosen + "\"");
      copied_[key] = chosen;
      return chosen;
    }
  }

  // Gives the finished file `temp` the name `name` in `folder`, or the first numbered name that
  // is free or `taken` does not hold; a file already there with the same bytes is used instead
  // (and `temp` removed). Returns the file name given.
  std::string place(const fs::path& temp, const fs::path& folder, const std::string& name,
                    std::set<std::string>* taken) {
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    for (int k = 1;; ++k) {
      const fs::path target = numbered(folder, stem, ext, k);
      const std::string chosen = path_to_utf8(target.filename());
      if (taken && taken->count(chosen)) continue;  // another file of this run has that name
      std::error_code ec;
      if (file_exists(target) || fs::is_symlink(target)) {
        if (fs::is_symlink(target) || !same_content(target, temp)) continue;
        fs::remove(temp, ec);
        report_.unchanged.push_back(target);
      } else {
        fs::rename(temp, target, ec);
        if (ec) {
          fs::remove(temp, ec);
          throw command_error("cannot write " + path_to_utf8(target) + ": " + ec.message());
        }
        report_.written.push_back(target);
      }
      if (taken) taken->insert(chosen);
      return chosen;
    }
  }

  // Writes `text` as STEM.EXT in `folder`, or as a numbered name when another file is there;
  // nothing when the file is there with this text.
  void write_new(const fs::path& folder, const std::string& stem, const std::string& ext,
                 const std::string& text) {
    for (int k = 1;; ++k) {
      const fs::path target = numbered(folder, stem, ext, k);
      if (file_exists(target) || fs::is_symlink(target)) {
        if (!file_holds(target, text)) continue;
        report_.unchanged.push_back(target);
        return;
      }
      atomic_output_file out(target, dir_);
      out.write(text);
      out.commit();
      report_.written.push_back(target);
      return;
    }
  }

  const bank& b_;
  fs::path dir_;
  instrument_export_options o_;
  host& h_;
  std::unique_ptr<MySplitFileReaderClass> reader_;
  std::map<std::string, std::string> copied_;  // audio key -> its file name in the folder
  std::set<std::string> taken_;                // names given to this program's audio
  instrument_export_report report_;
};

}  // namespace

const char* instrument_extension(instrument_format format) {
  return format == instrument_format::sfz ? ".sfz" : ".dspreset";
}

std::string instrument_text(const bank& b, int p, instrument_format format,
                            const std::function<std::optional<std::string>(int m, int j)>& sample,
                            const std::string& default_path,
                            std::vector<std::string>& not_carried) {
  return text_writer(b, p, format, sample, not_carried).run(default_path);
}

std::string instrument_file_stem(const bank& b, int p, bool* replaced) {
  bool any = false;
  const std::string name = file_name_of(name_text(b.program_name_text(p)), any);
  if (replaced) *replaced = any;
  return name.empty() ? std::to_string(p) : std::to_string(p) + " " + name;
}

std::vector<std::string> instrument_export_lines(const instrument_export_report& r) {
  std::vector<std::string> lines;
  for (const fs::path& p : r.written) lines.push_back("Written: " + path_to_utf8(p));
  for (const fs::path& p : r.unchanged) lines.push_back("Unchanged: " + path_to_utf8(p));
  for (const std::string& s : r.renamed) lines.push_back("Renamed: " + s);
  for (const std::string& s : r.notes) lines.push_back("Not carried over: " + s);
  return lines;
}

instrument_export_report export_instruments(const bank& b, const std::vector<int>& programs,
                                            const fs::path& dir,
                                            const instrument_export_options& options, host& h) {
  return exporter(b, dir, options, h).run(programs);
}

}  // namespace qbank
