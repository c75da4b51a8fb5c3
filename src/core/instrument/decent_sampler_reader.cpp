#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include "instrument/decent_sampler_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

#include "instrument/xml_text.h"
#include "instrument/zip_archive.h"
#include "platform/paths.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

// Attributes that change nothing a program can play (names, tags, the player's own choices)
// and are passed over without a line in the report.
constexpr std::array<const char*, 6> silent_attributes = {"name",    "tags",      "playbackMode",
                                                          "seqMode", "seqLength", "ampEnvEnabled"};
// Elements below <DecentSampler> that are the player's looks, not the sound.
constexpr std::array<const char*, 4> silent_elements = {"ui", "keyboard", "tags", "groups"};

template <std::size_t N>
bool one_of(const std::array<const char*, N>& names, const char* name) {
  return std::any_of(names.begin(), names.end(),
                     [name](const char* n) { return std::strcmp(n, name) == 0; });
}

// The attributes the reader turns into region fields.
constexpr std::array<const char*, 18> known_attributes = {
    "path",    "rootNote", "loNote",      "hiNote",        "loVel",   "hiVel",
    "volume",  "tuning",   "groupTuning", "globalTuning",  "start",   "end",
    "trigger", "attack",   "release",     "pitchKeyTrack", "enabled", "seqPosition"};

class dspreset_parser {
 public:
  dspreset_parser(const xml_text& xml, const fs::path& samples) : xml_(xml), samples_(samples) {}

  instrument read(const std::string& name) {
    result_.name = name;
    const pugi::xml_node root = xml_.document().child("DecentSampler");
    if (!root) {
      const pugi::xml_node first = xml_.document().first_child();
      xml_.fail(first, "not a DecentSampler preset (no <DecentSampler> element)");
    }
    const pugi::xml_node groups = root.child("groups");
    if (!groups) xml_.fail(root, "the preset has no <groups> element");
    for (const pugi::xml_node& n : root.children())
      if (n.type() == pugi::node_element && !one_of(silent_elements, n.name()))
        tally_.add("<" + std::string(n.name()) + ">");
    levels_[0] = groups;
    tally_attributes(groups);
    for (const pugi::xml_node& group : groups.children()) {
      if (group.type() != pugi::node_element) continue;
      if (std::strcmp(group.name(), "group") != 0) {
        tally_.add("<" + std::string(group.name()) + ">");
        continue;
      }
      read_group(group);
    }
    result_.not_carried_over = tally_.lines();
    return std::move(result_);
  }

 private:
  void tally_attributes(const pugi::xml_node& n) {
    for (const pugi::xml_attribute& a : n.attributes()) {
      const char* name = a.name();
      if (one_of(known_attributes, name) || one_of(silent_attributes, name)) continue;
      // A loop that is switched off loses nothing.
      if (std::strcmp(name, "loopEnabled") == 0 && !xml_.boolean(n, a)) continue;
      tally_.add(name);
    }
  }

  void read_group(const pugi::xml_node& group) {
    levels_[1] = group;
    tally_attributes(group);
    if (const pugi::xml_attribute on = group.attribute("enabled"); on && !xml_.boolean(group, on))
      return tally_.note("group at " + xml_.origin(group) + " is switched off");
    for (const pugi::xml_node& s : group.children()) {
      if (s.type() != pugi::node_element) continue;
      if (std::strcmp(s.name(), "sample") != 0) {
        tally_.add("<" + std::string(s.name()) + ">");
        continue;
      }
      levels_[2] = s;
      tally_attributes(s);
      read_sample(s);
    }
  }

  // The attribute as the sample sees it: its own, else its group's, else <groups>'; with the
  // element that holds it, for messages.
  std::pair<pugi::xml_attribute, pugi::xml_node> inherited(const char* name) const {
    for (int k = 2; k >= 0; --k)
      if (const pugi::xml_attribute a = levels_[k].attribute(name)) return {a, levels_[k]};
    return {};
  }
  std::optional<int> whole(const char* name) const {
    const auto [a, at] = inherited(name);
    if (!a) return std::nullopt;
    return xml_.whole_number(at, a);
  }
  std::optional<double> number(const char* name) const {
    const auto [a, at] = inherited(name);
    if (!a) return std::nullopt;
    return xml_.number(at, a);
  }
  // A level's own attribute as a number, 0 when it has none.
  double own_number(const pugi::xml_node& level, const char* name) const {
    const pugi::xml_attribute a = level.attribute(name);
    return a ? xml_.number(level, a) : 0;
  }
  // A level's own volume in dB; none for a linear 0 (silence).
  std::optional<double> volume_db(const pugi::xml_node& level) const {
    const pugi::xml_attribute a = level.attribute("volume");
    if (!a) return 0.0;
    std::string_view v = a.value();
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    const bool db = v.size() >= 2 && (v[v.size() - 2] | 0x20) == 'd' && (v.back() | 0x20) == 'b';
    if (db) v.remove_suffix(2);
    const std::optional<double> d = number_text(v);
    if (!d || (!db && *d < 0))
      xml_.fail(level, std::string("volume=\"") + a.value() + "\": not a volume");
    if (db) return *d;
    if (*d == 0) return std::nullopt;
    return 20 * std::log10(*d);
  }

  void read_sample(const pugi::xml_node& s) {
    const std::string at = xml_.origin(s);
    const pugi::xml_attribute path = s.attribute("path");
    if (!path || !*path.value()) return tally_.note("sample at " + at + " has no path");
    if (const std::optional<int> seq = whole("seqPosition"); seq && *seq > 1)
      return tally_.note("sample at " + at + " is round robin " + std::to_string(*seq) +
                         " of its group");
    region r;
    r.origin = at;
    std::string p = path.value();
    std::replace(p.begin(), p.end(), '\\', '/');
    r.sample = (samples_ / path_from_utf8(p)).lexically_normal();
    const std::optional<int> root = whole("rootNote");
    if (!root) return tally_.note("sample at " + at + " has no rootNote");
    r.root_key = std::clamp(*root, 0, 127);
    r.lo_key = std::max(whole("loNote").value_or(0), 0);
    r.hi_key = std::min(whole("hiNote").value_or(127), 127);
    r.lo_vel = std::max(whole("loVel").value_or(0), 0);
    r.hi_vel = std::min(whole("hiVel").value_or(127), 127);
    if (r.lo_key > r.hi_key) return tally_.note("sample at " + at + " plays no key");
    if (r.lo_vel > r.hi_vel) return tally_.note("sample at " + at + " plays at no velocity");
    double db = 0;
    for (const pugi::xml_node& level : levels_) {
      const std::optional<double> v = volume_db(level);
      if (!v) return tally_.note("sample at " + at + " is silent (volume 0)");
      db += *v;
    }
    r.volume = within_limits(db);
    const double semitones =
        within_limits(own_number(levels_[0], "globalTuning") +
                      own_number(levels_[1], "groupTuning") + number("tuning").value_or(0));
    // Whole semitones go to transpose, the rest to tune, as a player adds them.
    r.transpose = static_cast<int>(std::trunc(semitones));
    r.tune = (semitones - r.transpose) * 100;
    if (const std::optional<double> track = number("pitchKeyTrack")) {
      r.pitch_keytrack = *track != 0;
      if (*track != 0 && *track != 1) tally_.add("pitchKeyTrack");
    }
    if (const std::optional<double> start = number("start")) {
      if (*start < 0) xml_.fail(s, "start: a frame count cannot be negative");
      r.offset = frame_count(*start);
    }
    if (const std::optional<double> end = number("end")) {
      if (*end < static_cast<double>(r.offset))
        return tally_.note("sample at " + at + " never plays (end before start)");
      r.end = frame_count(*end) + 1;  // `end` is the last frame played
    }
    if (const auto [t, holder] = inherited("trigger"); t) {
      const std::string_view v = t.value();
      if (v == "release")
        r.release_trigger = true;
      else if (v == "first" || v == "legato" || v == "continuous")
        tally_.add("trigger=" + std::string(v));
      else if (v != "attack")
        xml_.fail(holder, "trigger=\"" + std::string(v) + "\": not a trigger");
    }
    if (const std::optional<double> a = number("attack")) r.attack = std::max(*a, 0.0);
    if (const std::optional<double> rel = number("release")) r.release = std::max(*rel, 0.0);
    result_.regions.push_back(std::move(r));
  }

  const xml_text& xml_;
  fs::path samples_;
  std::array<pugi::xml_node, 3> levels_{};  // <groups>, <group>, <sample>
  instrument result_;
  not_carried_tally tally_;
};

std::string stem_of(std::string_view name) {
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  return std::string(name.substr(0, dot == std::string_view::npos ? name.size() : dot));
}

bool same_letters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x >= 'A' && x <= 'Z' ? x | 0x20 : x) == (y >= 'A' && y <= 'Z' ? y | 0x20 : y);
         });
}

}  // namespace

instrument read_dspreset(byte_source& source, const std::string& label, const fs::path& samples) {
  const xml_text xml(source, label);
  dspreset_parser parser(xml, samples);
  return parser.read(stem_of(label));
}

instrument read_dspreset_file(const fs::path& path) {
  input_file file(path);
  return read_dspreset(file, path_to_utf8(path), path.parent_path());
}

instrument read_dslibrary_file(const fs::path& path, std::string_view preset) {
  const zip_archive archive(path);
  std::vector<std::size_t> presets;
  for (std::size_t k = 0; k < archive.names().size(); ++k) {
    const std::string& n = archive.names()[k];
    if (!is_archive_litter(n) && has_extension(n, ".dspreset")) presets.push_back(k);
  }
  if (presets.empty())
    throw instrument_error(path_to_utf8(path) + ": the library holds no .dspreset file");
  std::size_t chosen = presets.front();
  if (!preset.empty()) {
    const auto it = std::find_if(presets.begin(), presets.end(), [&](std::size_t k) {
      return same_letters(stem_of(archive.names()[k]), preset);
    });
    if (it == presets.end()) {
      std::string list;
      for (const std::size_t k : presets)
        list += (list.empty() ? "" : ", ") + stem_of(archive.names()[k]);
      throw instrument_error(path_to_utf8(path) + ": no preset \"" + std::string(preset) +
                             "\" in the library (it holds " + list + ")");
    }
    chosen = *it;
  }
  const std::string& member = archive.names()[chosen];
  const std::string text = archive.read(chosen, xml_text::max_bytes);
  memory_source source(text.data(), text.size());
  const std::size_t slash = member.find_last_of('/');
  const fs::path folder =
      path_from_utf8(slash == std::string::npos ? std::string() : member.substr(0, slash));
  instrument inst = read_dspreset(source, path_to_utf8(path) + "/" + member, folder);
  extract_samples(archive, inst);
  return inst;
}

}  // namespace qbank
#endif
