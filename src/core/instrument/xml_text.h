// The XML instrument formats (DecentSampler presets, Bitwig multisamples) read through one
// document type that knows the line of every element, so that each message names the file and
// the line where reading stopped. Built only with pugixml (QBANK_HAVE_XML_INSTRUMENTS).
#pragma once

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

namespace qbank {

class xml_text {
 public:
  // Reads all of `source` (at most max_bytes) and parses it. `label` names the file in messages
  // (a path, or "library.dslibrary/Piano.dspreset" for a member of an archive). Throws
  // instrument_error "LABEL:LINE: what is wrong" for a text that is not well-formed XML.
  xml_text(byte_source& source, std::string label);
  static constexpr std::uint64_t max_bytes = std::uint64_t{64} << 20;

  const pugi::xml_document& document() const { return document_; }
  const std::string& label() const { return label_; }
  // The line (from 1) where `node` starts.
  int line_of(const pugi::xml_node& node) const;
  // "Piano.dspreset:12": the file name and line of `node`, for reports.
  std::string origin(const pugi::xml_node& node) const;
  // Throws instrument_error "LABEL:LINE: what".
  [[noreturn]] void fail(const pugi::xml_node& at, const std::string& what) const;

  // The attribute's value as a number: a decimal with optional sign and surrounding blanks;
  // anything else fails naming the attribute and its element's line.
  double number(const pugi::xml_node& at, const pugi::xml_attribute& a) const;
  // The same, a whole number within -1000000..1000000.
  int whole_number(const pugi::xml_node& at, const pugi::xml_attribute& a) const;
  // "true"/"false" (also 1/0, either case); anything else fails.
  bool boolean(const pugi::xml_node& at, const pugi::xml_attribute& a) const;

 private:
  int line_at(std::size_t offset) const;

  std::string label_;
  std::string text_;
  std::vector<std::size_t> line_starts_;  // byte offset of each line's first byte
  pugi::xml_document document_;
};

// The text as a number, none when it is not one (blanks around it are allowed).
std::optional<double> number_text(std::string_view text);
// A frame position given as a number of at least 0, whole and kept below 2^53 (past any
// sample's end) so that it converts exactly.
std::uint64_t frame_count(double frames);
// Semitones and decibels kept within +-10000, far past anything audible, so sums stay finite
// and whole parts fit an int.
double within_limits(double value);

}  // namespace qbank
