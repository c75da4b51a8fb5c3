#include "support/s2_file_builder.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "bank/split_file.h"
#include "manager/s2_bank.h"

namespace qbank::testing {

s2_file_builder::s2_file_builder(int version)
    : layout(version), image_(std::make_unique<s2_image>()) {
  const s2_bank reset;
  std::memcpy(image_.get(), &reset.image(), sizeof(s2_image));
  image_->start_sector[511] = static_cast<std::uint8_t>(version);
}

void s2_file_builder::set_audio(int m, int j, std::uint32_t first_sector, std::uint16_t count) {
  image_->multisamples[m].slots[j].value = first_sector;
  image_->multisamples[m].slots[j].sector_count = count;
}

std::vector<std::uint8_t> s2_file_builder::names_text() const {
  std::vector<std::uint8_t> text;
  text.reserve(name_lines * 8);
  auto it = names_.begin();
  for (std::size_t k = 0; k < name_lines; ++k) {
    const std::pair<int, int> at{static_cast<int>(k / 128), static_cast<int>(k % 128)};
    std::string_view line = "- - -";
    while (it != names_.end() && it->first < at) ++it;
    if (it != names_.end() && it->first == at) line = it->second;
    text.insert(text.end(), line.begin(), line.end());
    text.push_back('\r');
    text.push_back('\n');
  }
  return text;
}

std::vector<std::uint8_t> s2_file_builder::tail() const {
  std::vector<std::uint8_t> t(s2_names_sector().begin(), s2_names_sector().end());
  const std::vector<std::uint8_t> text = names_text();
  t.insert(t.end(), text.begin(), text.end());
  t.insert(t.end(), s2_end_sector_template().begin(), s2_end_sector_template().end());
  return t;
}

std::uint64_t s2_file_builder::tail_position() const {
  std::uint64_t end = 0;
  for (const s2_multisample& m : image_->multisamples)
    for (const s2_slot& s : m.slots)
      if (s.first_sector() != 0)
        end = std::max(end, (std::uint64_t{s.first_sector()} + s.sector_count) * 512);
  if (end != 0) return end;
  return layout == 1 ? s2_header_size_v1 : layout == 2 ? s2_header_size_v2 : s2_header_size_v3;
}

std::vector<std::uint8_t> s2_file_builder::head() const {
  s2_image& im = *image_;
  std::uint64_t audio = 0;
  for (const s2_multisample& m : im.multisamples)
    for (const s2_slot& s : m.slots)
      if (s.first_sector() != 0) audio += std::uint64_t{s.sector_count} * 512;
  const std::uint64_t own_header = layout == 1   ? s2_header_size_v1
                                   : layout == 2 ? s2_header_size_v2
                                                 : s2_header_size_v3;
  im.bank_file_info.header_size = header_size != 0 ? header_size : own_header;
  im.bank_file_info.sample_data_size = audio;
  im.bank_file_info.names_size = names_text().size();
  im.bank_file_info.bank_size = total_size();

  const auto* raw = reinterpret_cast<const std::uint8_t*>(&im);
  std::vector<std::uint8_t> out;
  if (layout >= 3 || layout < 1) return std::vector<std::uint8_t>(raw, raw + sizeof(s2_image));
  const std::size_t sets_end =
      layout == 1 ? offsetof(s2_image, global_b) : offsetof(s2_image, multisamples);
  out.assign(raw, raw + sets_end);
  for (const s2_multisample& m : im.multisamples) {
    s2_old_multisample old{};
    std::memcpy(old.head, &m, 256);
    for (int j = 0; j < 128; ++j) old.slots[j] = {m.slots[j].value, m.slots[j].sector_count};
    const auto* b = reinterpret_cast<const std::uint8_t*>(&old);
    out.insert(out.end(), b, b + sizeof old);
  }
  out.insert(out.end(), im.slot_bytes, im.slot_bytes + sizeof im.slot_bytes);
  return out;
}

std::vector<std::uint8_t> s2_file_builder::bytes() const {
  std::vector<std::uint8_t> out = head();
  out.resize(tail_position(), 0);
  const std::vector<std::uint8_t> t = tail();
  out.insert(out.end(), t.begin(), t.end());
  return out;
}

void s2_file_builder::write(const std::filesystem::path& path, std::uint64_t part_limit) const {
  const std::vector<std::uint8_t> h = head();
  const std::vector<std::uint8_t> t = tail();
  const std::uint64_t total = tail_position() + t.size();
  // Writes [from, from + size) of the logical file, cutting it at the part boundaries.
  auto put = [&](std::uint64_t from, const std::uint8_t* data, std::uint64_t size) {
    while (size > 0) {
      const int part = static_cast<int>(from / part_limit);
      const std::uint64_t offset = from % part_limit;
      const std::uint64_t n = std::min(size, part_limit - offset);
      std::fstream f(split_part_path(path, part), std::ios::in | std::ios::out | std::ios::binary);
      if (!f) throw std::runtime_error("cannot open a part of the test bank");
      f.seekp(static_cast<std::streamoff>(offset));
      f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
      from += n;
      data += n;
      size -= n;
    }
  };
  const int parts = static_cast<int>((total + part_limit - 1) / part_limit);
  for (int k = 0; k < parts; ++k) {
    const std::filesystem::path p = split_part_path(path, k);
    { std::ofstream(p, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(p, std::min(part_limit, total - k * part_limit));
  }
  put(0, h.data(), h.size());
  put(tail_position(), t.data(), t.size());
}

}  // namespace qbank::testing
