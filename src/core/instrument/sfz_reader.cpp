#include "instrument/sfz_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "edit/note_names.h"
#include "platform/paths.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

// Limits that keep a hostile text from running away: includes of includes, #define values
// that multiply, files that include each other many times over.
constexpr int max_include_depth = 16;
constexpr std::uint64_t max_total_bytes = std::uint64_t{256} << 20;
constexpr std::size_t max_line_bytes_after_defines = std::size_t{1} << 20;
constexpr std::size_t max_define_name = 64;

// What one level (global, master, group, region) sets; unset fields come from the levels above.
struct settings {
  std::optional<std::string> sample;  // with default_path in front, separators as written
  std::optional<int> lo_key, hi_key, root_key, lo_vel, hi_vel, transpose;
  std::optional<bool> keytrack, release_trigger;
  std::optional<double> tune, volume, amplitude, attack, release;
  std::optional<std::int64_t> offset, end;

  void over(const settings& s) {
    auto take = [](auto& mine, const auto& theirs) {
      if (theirs) mine = theirs;
    };
    take(sample, s.sample);
    take(lo_key, s.lo_key);
    take(hi_key, s.hi_key);
    take(root_key, s.root_key);
    take(lo_vel, s.lo_vel);
    take(hi_vel, s.hi_vel);
    take(transpose, s.transpose);
    take(keytrack, s.keytrack);
    take(release_trigger, s.release_trigger);
    take(tune, s.tune);
    take(volume, s.volume);
    take(amplitude, s.amplitude);
    take(attack, s.attack);
    take(release, s.release);
    take(offset, s.offset);
    take(end, s.end);
  }
};

enum class level { global, master, group, region, control, other };

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// Where a value that starts at `from` ends: at a header, a comment, or the blank in front of the
// next `name=`.
std::size_t value_end(std::string_view line, std::size_t from) {
  std::size_t p = from;
  while (p < line.size()) {
    const char c = line[p];
    if (c == '<') return p;
    if (c == '/' && p + 1 < line.size() && (line[p + 1] == '/' || line[p + 1] == '*')) return p;
    if (is_space(c)) {
      std::size_t q = p;
      while (q < line.size() && is_space(line[q])) ++q;
      std::size_t r = q;
      while (r < line.size() && is_name_char(line[r])) ++r;
      if (r > q && r < line.size() && line[r] == '=') return p;
      p = q;
      continue;
    }
    ++p;
  }
  return p;
}

class sfz_parser {
 public:
  sfz_parser(const fs::path& root, const include_opener& open) : open_(open) {
    sample_root_ = root.parent_path();
    result_.name = path_to_utf8(root.stem());
  }

  void read_file(byte_source& source, const fs::path& path, int depth) {
    const std::uint64_t size = source.size();
    if (size > max_total_bytes - std::min(total_bytes_, max_total_bytes))
      throw instrument_error(path_to_utf8(path) + ": the instrument's files are too large");
    total_bytes_ += size;
    const std::string text = read_all(source);
    stack_.push_back(path.lexically_normal());
    read_text(text, depth);
    stack_.pop_back();
  }

  instrument finish() {
    end_region();
    result_.not_carried_over = tally_.lines();
    return std::move(result_);
  }

 private:
  const fs::path& file() const { return stack_.back(); }
  [[noreturn]] void fail(const std::string& what) const {
    throw instrument_error(path_to_utf8(file()) + ":" + std::to_string(line_) + ": " + what);
  }
  std::string origin() const {
    return path_to_utf8(file().filename()) + ":" + std::to_string(line_);
  }

  void read_text(std::string_view text, int depth) {
    // Lines end at LF, CR LF or CR.
    std::size_t at = 0;
    int line = 0;
    bool in_comment = false;
    int comment_line = 0;
    while (at < text.size()) {
      std::size_t stop = at;
      while (stop < text.size() && text[stop] != '\n' && text[stop] != '\r') ++stop;
      std::string_view l = text.substr(at, stop - at);
      at = stop + 1;
      if (stop + 1 < text.size() && text[stop] == '\r' && text[stop + 1] == '\n') ++at;
      line_ = ++line;
      if (in_comment) {
        const std::size_t close = l.find("*/");
        if (close == std::string_view::npos) continue;
        in_comment = false;
        l.remove_prefix(close + 2);
      }
      read_line(l, depth, in_comment);
      if (in_comment) comment_line = line;
    }
    if (in_comment) {
      line_ = comment_line;
      fail("a comment opened with /* is not closed");
    }
  }

  // One line; sets `in_comment` when it opens a /* comment it does not close.
  void read_line(std::string_view raw, int depth, bool& in_comment) {
    const std::string_view start = trimmed(raw);
    if (start.starts_with("#define")) return define(start.substr(7));
    if (start.starts_with("#include")) return include(substituted(start.substr(8)), depth);
    const std::string line = substituted(raw);
    std::string_view l = line;
    std::size_t pos = 0;
    while (true) {
      while (pos < l.size() && is_space(l[pos])) ++pos;
      if (pos >= l.size() || l.substr(pos).starts_with("//")) return;
      if (l.substr(pos).starts_with("/*")) {
        const std::size_t close = l.find("*/", pos + 2);
        if (close == std::string_view::npos) {
          in_comment = true;
          return;
        }
        pos = close + 2;
        continue;
      }
      if (l[pos] == '<') {
        const std::size_t close = l.find('>', pos);
        if (close == std::string_view::npos) fail("a header without its closing '>'");
        header(l.substr(pos + 1, close - pos - 1));
        pos = close + 1;
        continue;
      }
      std::size_t name_end = pos;
      while (name_end < l.size() && is_name_char(l[name_end])) ++name_end;
      if (name_end == pos) {
        if (l[pos] == '=') fail("'=' without an opcode name");
        fail("unexpected text \"" + std::string(trimmed(l.substr(pos, value_end(l, pos) - pos))) +
             "\"");
      }
      const std::string name(l.substr(pos, name_end - pos));
      if (name_end >= l.size() || l[name_end] != '=')
        fail("opcode \"" + name + "\" without '=' and a value");
      const std::size_t end = value_end(l, name_end + 1);
      opcode(name, trimmed(l.substr(name_end + 1, end - name_end - 1)));
      pos = end;
    }
  }

  // `line` with every $NAME that #define gave replaced by its value (the longest name that
  // matches); an unknown $NAME stays as it is.
  std::string substituted(std::string_view line) const {
    if (defines_.empty() || line.find('$') == std::string_view::npos) return std::string(line);
    std::string out;
    std::size_t k = 0;
    while (k < line.size()) {
      if (line[k] != '$') {
        out += line[k++];
        continue;
      }
      std::size_t n = 0;
      while (k + 1 + n < line.size() && n < max_define_name && is_name_char(line[k + 1 + n])) ++n;
      bool replaced = false;
      for (; n > 0 && !replaced; --n) {
        const auto it = defines_.find(std::string(line.substr(k + 1, n)));
        if (it == defines_.end()) continue;
        out += it->second;
        k += 1 + n;
        replaced = true;
      }
      if (!replaced) out += line[k++];
      if (out.size() > max_line_bytes_after_defines) fail("the line is too long after #define");
    }
    return out;
  }

  void define(std::string_view rest) {
    if (rest.empty() || !is_space(rest.front())) fail("#define needs a $name and a value");
    rest = trimmed(rest);
    std::size_t n = 1;
    while (n < rest.size() && is_name_char(rest[n])) ++n;
    if (rest.empty() || rest.front() != '$' || n == 1 || n > max_define_name + 1 ||
        (n < rest.size() && !is_space(rest[n])))
      fail("#define needs a $name and a value");
    std::string_view value = rest.substr(n);
    if (const std::size_t c = value.find("//"); c != std::string_view::npos)
      value = value.substr(0, c);
    value = trimmed(value);
    if (value.empty()) fail("#define needs a $name and a value");
    defines_[std::string(rest.substr(1, n - 1))] = substituted(value);
  }

  void include(const std::string& rest_text, int depth) {
    std::string_view rest = trimmed(rest_text);
    const std::size_t close = rest.size() > 1 ? rest.find('"', 1) : std::string_view::npos;
    if (rest.empty() || rest.front() != '"' || close == std::string_view::npos)
      fail("#include needs a file name in double quotes");
    const std::string_view after = trimmed(rest.substr(close + 1));
    if (!after.empty() && !after.starts_with("//"))
      fail("#include needs a file name in double quotes");
    std::string name(rest.substr(1, close - 1));
    std::replace(name.begin(), name.end(), '\\', '/');
    const fs::path target = (file().parent_path() / path_from_utf8(name)).lexically_normal();
    if (depth + 1 > max_include_depth) fail("#include files are nested too deeply");
    if (std::find(stack_.begin(), stack_.end(), target) != stack_.end())
      fail("#include \"" + name + "\" includes itself");
    std::unique_ptr<byte_source> source;
    try {
      source = open_(target);
    } catch (const file_error& e) {
      fail("cannot open #include \"" + name + "\": " + e.reason());
    }
    if (!source) fail("cannot open #include \"" + name + "\"");
    const int line = line_;
    read_file(*source, target, depth + 1);
    line_ = line;
  }

  void header(std::string_view name) {
    end_region();
    if (name == "region") {
      in_region_ = true;
      region_origin_ = origin();
      levels_[3] = {};
      current_ = level::region;
    } else if (name == "group") {
      levels_[2] = levels_[3] = {};
      current_ = level::group;
    } else if (name == "master") {
      levels_[1] = levels_[2] = levels_[3] = {};
      current_ = level::master;
    } else if (name == "global") {
      levels_ = {};
      current_ = level::global;
    } else if (name == "control") {
      current_ = level::control;
    } else if (name == "curve" || name == "effect" || name == "midi" || name == "sample") {
      tally_.add("<" + std::string(name) + ">");
      current_ = level::other;
    } else {
      fail("unknown header <" + std::string(name) + ">");
    }
  }

  // Finishes the region being read, if any, into the instrument.
  void end_region() {
    if (!in_region_) return;
    in_region_ = false;
    settings s;
    for (const settings& l : levels_) s.over(l);
    const std::string& at = region_origin_;
    // end=-1 and end=0 are how SFZ silences a region.
    if (s.end && *s.end <= 0)
      return tally_.note("region at " + at + " never plays (end=" + std::to_string(*s.end) + ")");
    if (!s.sample) return tally_.note("region at " + at + " has no sample");
    if (s.sample->find('*') == 0)
      return tally_.note("region at " + at + " plays a generated sound (" + *s.sample + ")");
    region r;
    r.origin = at;
    std::string path = *s.sample;
    std::replace(path.begin(), path.end(), '\\', '/');
    r.sample = (sample_root_ / path_from_utf8(path)).lexically_normal();
    r.lo_key = std::max(s.lo_key.value_or(0), 0);
    r.hi_key = std::min(s.hi_key.value_or(127), 127);
    r.root_key = std::clamp(s.root_key.value_or(60), 0, 127);
    r.lo_vel = std::max(s.lo_vel.value_or(0), 0);
    r.hi_vel = std::min(s.hi_vel.value_or(127), 127);
    if (r.lo_key > r.hi_key) return tally_.note("region at " + at + " plays no key");
    if (r.lo_vel > r.hi_vel) return tally_.note("region at " + at + " plays at no velocity");
    r.pitch_keytrack = s.keytrack.value_or(true);
    r.transpose = s.transpose.value_or(0);
    r.tune = s.tune.value_or(0);
    r.volume = s.volume.value_or(0);
    r.amplitude = s.amplitude;
    r.offset = static_cast<std::uint64_t>(s.offset.value_or(0));
    // SFZ's end names the last frame played.
    if (s.end) {
      if (*s.end < static_cast<std::int64_t>(r.offset))
        return tally_.note("region at " + at + " never plays (end before offset)");
      r.end = static_cast<std::uint64_t>(*s.end) + 1;
    }
    r.release_trigger = s.release_trigger.value_or(false);
    r.attack = s.attack;
    r.release = s.release;
    result_.regions.push_back(std::move(r));
  }

  double number(const std::string& name, std::string_view v) const {
    std::string_view t = v;
    if (t.starts_with('+')) t.remove_prefix(1);
    double d = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(d))
      fail(name + "=" + std::string(v) + ": not a number");
    return d;
  }
  std::int64_t whole_number(const std::string& name, std::string_view v) const {
    std::string_view t = v;
    if (t.starts_with('+')) t.remove_prefix(1);
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size())
      fail(name + "=" + std::string(v) + ": not a whole number");
    return n;
  }
  // A MIDI number: kept within a range wide enough for any offset, so sums never overflow.
  int small_number(const std::string& name, std::string_view v) const {
    return static_cast<int>(std::clamp<std::int64_t>(whole_number(name, v), -10000, 10000));
  }
  int key(const std::string& name, std::string_view v) const {
    std::optional<int> k = sfz_note_number(v);
    if (!k) {
      std::string_view t = v;
      if (t.starts_with('+')) t.remove_prefix(1);
      int n = 0;
      const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
      if (t.empty() || ec != std::errc() || end != t.data() + t.size() || n < -1000 || n > 1000)
        fail(name + "=" + std::string(v) + ": not a note name or a number");
      k = n;
    }
    return *k + note_offset_ + 12 * octave_offset_;
  }

  void opcode(const std::string& name, std::string_view v) {
    // The control values apply wherever they stand, to what follows.
    if (name == "default_path") {
      default_path_ = v;
      return;
    }
    if (name == "note_offset") {
      note_offset_ = small_number(name, v);
      return;
    }
    if (name == "octave_offset") {
      octave_offset_ = small_number(name, v);
      return;
    }
    if (current_ == level::other) return;  // reported with its header
    if (current_ == level::control) return tally_.add(name);
    settings& s = levels_[static_cast<int>(current_)];
    if (name == "sample") {
      if (v.empty()) fail("sample= without a file name");
      // A name starting with * is one of the player's own sounds (*sine, *noise), not a file.
      s.sample = v.starts_with('*') ? std::string(v) : default_path_ + std::string(v);
    } else if (name == "key") {
      s.lo_key = s.hi_key = s.root_key = key(name, v);
    } else if (name == "lokey") {
      s.lo_key = key(name, v);
    } else if (name == "hikey") {
      s.hi_key = key(name, v);
    } else if (name == "pitch_keycenter") {
      if (v == "sample") return tally_.add("pitch_keycenter=sample");
      s.root_key = key(name, v);
    } else if (name == "pitch_keytrack") {
      const double cents = number(name, v);
      s.keytrack = cents != 0;
      if (cents != 0 && cents != 100) tally_.add("pitch_keytrack=" + std::string(v));
    } else if (name == "lovel") {
      s.lo_vel = small_number(name, v);
    } else if (name == "hivel") {
      s.hi_vel = small_number(name, v);
    } else if (name == "transpose") {
      s.transpose = small_number(name, v);
    } else if (name == "tune") {
      s.tune = number(name, v);
    } else if (name == "volume") {
      s.volume = number(name, v);
    } else if (name == "amplitude") {
      s.amplitude = std::clamp(number(name, v), 0.0, 100.0);
    } else if (name == "offset") {
      s.offset = whole_number(name, v);
      if (*s.offset < 0) fail(name + "=" + std::string(v) + ": a frame count cannot be negative");
    } else if (name == "end") {
      s.end = whole_number(name, v);
    } else if (name == "trigger") {
      if (v == "release" || v == "release_key")
        s.release_trigger = true;
      else if (v == "attack")
        s.release_trigger = false;
      else if (v == "first" || v == "legato")
        tally_.add("trigger=" + std::string(v));
      else
        fail("trigger=" + std::string(v) + ": not a trigger");
    } else if (name == "ampeg_attack") {
      s.attack = std::max(number(name, v), 0.0);
    } else if (name == "ampeg_release") {
      s.release = std::max(number(name, v), 0.0);
    } else {
      tally_.add(name);
    }
  }

  const include_opener& open_;
  fs::path sample_root_;
  instrument result_;
  not_carried_tally tally_;
  std::vector<fs::path> stack_;  // the files being read, the innermost last
  int line_ = 0;
  std::uint64_t total_bytes_ = 0;
  std::map<std::string, std::string> defines_;
  std::string default_path_;
  int note_offset_ = 0;
  int octave_offset_ = 0;
  // Text before any header is read as global.
  level current_ = level::global;
  std::array<settings, 4> levels_{};
  bool in_region_ = false;
  std::string region_origin_;
};

}  // namespace

std::optional<int> sfz_note_number(std::string_view name) {
  const std::optional<note_reading> note = read_note_name(name, note_convention::software);
  if (!note || note->length != name.size()) return std::nullopt;
  return note->note;
}

instrument read_sfz(byte_source& source, const std::filesystem::path& path,
                    const include_opener& open) {
  sfz_parser parser(path, open);
  parser.read_file(source, path, 0);
  return parser.finish();
}

instrument read_sfz_file(const std::filesystem::path& path) {
  input_file file(path);
  const include_opener from_disk = [](const std::filesystem::path& p) {
    return std::unique_ptr<byte_source>(std::make_unique<input_file>(p));
  };
  return read_sfz(file, path, from_disk);
}

}  // namespace qbank
