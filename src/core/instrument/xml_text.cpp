#ifdef QBANK_HAVE_XML_INSTRUMENTS
#include "instrument/xml_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "instrument/instrument.h"
#include "platform/paths.h"

namespace qbank {

std::optional<double> number_text(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  if (t.starts_with('+')) t.remove_prefix(1);
  double d = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(d))
    return std::nullopt;
  return d;
}

std::uint64_t frame_count(double frames) {
  return static_cast<std::uint64_t>(std::clamp(std::floor(frames), 0.0, 9007199254740991.0));
}

double within_limits(double value) {
  return std::clamp(value, -10000.0, 10000.0);
}

xml_text::xml_text(byte_source& source, std::string label) : label_(std::move(label)) {
  const std::uint64_t size = source.size();
  if (size > max_bytes)
    throw instrument_error(label_ + ": the file is too large for an instrument");
  text_ = read_all(source);
  line_starts_.push_back(0);
  for (std::size_t k = 0; k < text_.size(); ++k)
    if (text_[k] == '\n') line_starts_.push_back(k + 1);
  // Parsed from a copy, so that offset_debug() counts bytes of text_ (for UTF-8 as written).
  const pugi::xml_parse_result result =
      document_.load_buffer(text_.data(), text_.size(), pugi::parse_default, pugi::encoding_auto);
  if (!result) {
    const std::size_t at = static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0));
    throw instrument_error(label_ + ":" + std::to_string(line_at(at)) + ": not well-formed XML (" +
                           result.description() + ")");
  }
}

int xml_text::line_at(std::size_t offset) const {
  const auto it = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  return static_cast<int>(it - line_starts_.begin());
}

int xml_text::line_of(const pugi::xml_node& node) const {
  const std::ptrdiff_t at = node.offset_debug();
  return at < 0 ? 0 : line_at(static_cast<std::size_t>(at));
}

std::string xml_text::origin(const pugi::xml_node& node) const {
  std::string_view name = label_;
  if (const std::size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  return std::string(name) + ":" + std::to_string(line_of(node));
}

void xml_text::fail(const pugi::xml_node& at, const std::string& what) const {
  throw instrument_error(label_ + ":" + std::to_string(line_of(at)) + ": " + what);
}

double xml_text::number(const pugi::xml_node& at, const pugi::xml_attribute& a) const {
  const std::optional<double> d = number_text(a.value());
  if (!d) fail(at, std::string(a.name()) + "=\"" + a.value() + "\": not a number");
  return *d;
}

int xml_text::whole_number(const pugi::xml_node& at, const pugi::xml_attribute& a) const {
  const std::optional<double> d = number_text(a.value());
  if (!d || *d != std::floor(*d) || std::fabs(*d) > 1e6)
    fail(at, std::string(a.name()) + "=\"" + a.value() + "\": not a whole number");
  return static_cast<int>(*d);
}

bool xml_text::boolean(const pugi::xml_node& at, const pugi::xml_attribute& a) const {
  std::string v = a.value();
  for (char& c : v) c = static_cast<char>(c | 0x20);
  if (v == "true" || v == "1") return true;
  if (v == "false" || v == "0") return false;
  fail(at, std::string(a.name()) + "=\"" + a.value() + "\": not true or false");
}

}  // namespace qbank
#endif
