#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include "instrument/bitwig_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <tuple>

#include "instrument/xml_text.h"
#include "instrument/zip_archive.h"
#include "platform/paths.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

class multisample_parser {
 public:
  multisample_parser(const xml_text& xml, const fs::path& samples) : xml_(xml), samples_(samples) {}

  instrument read(const std::string& fallback_name) {
    const pugi::xml_node root = xml_.document().child("multisample");
    if (!root)
      xml_.fail(xml_.document().first_child(),
                "not a Bitwig multisample (no <multisample> element)");
    const char* name = root.attribute("name").value();
    result_.name = *name ? name : fallback_name;
    for (const pugi::xml_node& n : root.children("sample")) read_sample(n);
    for (const pugi::xml_node& group : root.children("group"))
      for (const pugi::xml_node& n : group.children("sample")) read_sample(n);
    result_.not_carried_over = tally_.lines();
    return std::move(result_);
  }

 private:
  int whole(const pugi::xml_node& n, const char* name, int otherwise) const {
    const pugi::xml_attribute a = n.attribute(name);
    return a ? xml_.whole_number(n, a) : otherwise;
  }
  double number(const pugi::xml_node& n, const char* name, double otherwise) const {
    const pugi::xml_attribute a = n.attribute(name);
    return a ? xml_.number(n, a) : otherwise;
  }
  // An attribute whose only carried value is `neutral`; any other is listed under `key`.
  void only(const pugi::xml_node& n, const char* name, double neutral, const std::string& key) {
    if (n && number(n, name, neutral) != neutral) tally_.add(key);
  }

  void read_sample(const pugi::xml_node& s) {
    const std::string at = xml_.origin(s);
    const char* file = s.attribute("file").value();
    if (!*file) return tally_.note("sample at " + at + " has no file");
    region r;
    r.origin = at;
    std::string p = file;
    std::replace(p.begin(), p.end(), '\\', '/');
    r.sample = (samples_ / path_from_utf8(p)).lexically_normal();
    r.volume = within_limits(number(s, "gain", 0));
    const double start = number(s, "sample-start", 0);
    if (start < 0) xml_.fail(s, "sample-start: a frame count cannot be negative");
    r.offset = frame_count(std::round(start));
    if (s.attribute("sample-stop")) {
      r.end = frame_count(std::round(number(s, "sample-stop", 0)));
      if (*r.end <= r.offset)
        return tally_.note("sample at " + at + " never plays (sample-stop before sample-start)");
    }
    if (const pugi::xml_attribute rev = s.attribute("reverse"); rev && xml_.boolean(s, rev))
      tally_.add("reverse");
    for (const char* param : {"parameter-1", "parameter-2", "parameter-3"})
      only(s, param, 0, param);

    const pugi::xml_node key = s.child("key");
    r.root_key = std::clamp(whole(key, "root", 60), 0, 127);
    r.lo_key = std::max(whole(key, "low", 0), 0);
    r.hi_key = std::min(whole(key, "high", 127), 127);
    const double semitones = within_limits(number(key, "tune", 0));
    r.transpose = static_cast<int>(std::trunc(semitones));
    r.tune = (semitones - r.transpose) * 100;
    const double track = number(key, "track", 1);
    r.pitch_keytrack = track != 0;
    if (track != 0 && track != 1) tally_.add("key track");
    only(key, "low-fade", 0, "key fades");
    only(key, "high-fade", 0, "key fades");

    const pugi::xml_node velocity = s.child("velocity");
    r.lo_vel = std::max(whole(velocity, "low", 1), 0);
    r.hi_vel = std::min(whole(velocity, "high", 127), 127);
    only(velocity, "low-fade", 0, "velocity fades");
    only(velocity, "high-fade", 0, "velocity fades");
    const pugi::xml_node select = s.child("select");
    only(select, "low", 1, "select");
    only(select, "high", 127, "select");

    if (const pugi::xml_node loop = s.child("loop")) {
      const std::string_view mode = loop.attribute("mode").value();
      if (!mode.empty() && mode != "off") tally_.add("loop mode=" + std::string(mode));
    }
    if (r.lo_key > r.hi_key) return tally_.note("sample at " + at + " plays no key");
    if (r.lo_vel > r.hi_vel) return tally_.note("sample at " + at + " plays at no velocity");
    // Round robins take turns over one window; only the first of them plays in a program.
    if (std::strcmp(s.attribute("zone-logic").value(), "round-robin") == 0 &&
        !round_robins_.emplace(r.lo_key, r.hi_key, r.lo_vel, r.hi_vel).second)
      return tally_.note("sample at " + at + " is a further round robin of its key window");
    result_.regions.push_back(std::move(r));
  }

  const xml_text& xml_;
  fs::path samples_;
  instrument result_;
  not_carried_tally tally_;
  std::set<std::tuple<int, int, int, int>> round_robins_;  // windows whose first robin is kept
};

}  // namespace

instrument read_multisample_xml(byte_source& source, const std::string& label,
                                const fs::path& samples, const std::string& fallback_name) {
  const xml_text xml(source, label);
  multisample_parser parser(xml, samples);
  return parser.read(fallback_name);
}

instrument read_multisample_folder(const fs::path& folder) {
  const fs::path xml = folder / "multisample.xml";
  input_file file(xml);
  fs::path named = folder.lexically_normal();
  if (named.filename().empty()) named = named.parent_path();
  return read_multisample_xml(file, path_to_utf8(xml), folder, path_to_utf8(named.stem()));
}

instrument read_multisample_file(const fs::path& path) {
  const zip_archive archive(path);
  const std::optional<std::size_t> index = archive.find("multisample.xml");
  if (!index) throw instrument_error(path_to_utf8(path) + ": the archive holds no multisample.xml");
  const std::string text = archive.read(*index, xml_text::max_bytes);
  memory_source source(text.data(), text.size());
  instrument inst = read_multisample_xml(source, path_to_utf8(path) + "/" + archive.names()[*index],
                                         fs::path(), path_to_utf8(path.stem()));
  extract_samples(archive, inst);
  return inst;
}

}  // namespace qbank
#endif
