#include "support/sf2_writer.h"

#include "support/wav_writer.h"

namespace qbank::testing {
namespace {

// `n` little-endian bytes of `v`; past its four bytes, zeros (the padding of a record).
void put(bytes& b, std::uint32_t v, int n) {
  for (int k = 0; k < n; ++k) b.push_back(k < 4 ? static_cast<std::uint8_t>(v >> (8 * k)) : 0);
}
void put_name(bytes& b, const std::string& name) {
  for (std::size_t k = 0; k < 20; ++k) b.push_back(k < name.size() ? name[k] : 0);
}
bytes list(std::string_view type, std::initializer_list<bytes> chunks) {
  bytes body(type.begin(), type.end());
  for (const bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return riff_chunk("LIST", body);
}

// Bags and generators of a list of zones; the last generator of a zone with a target is
// `target_gen`.
void zones(const std::vector<sf2_zone>& zs, int target_gen, bytes& bags, bytes& gens,
           std::size_t& gen_count, std::size_t& bag_count) {
  for (const sf2_zone& z : zs) {
    put(bags, static_cast<std::uint32_t>(gen_count), 2);
    put(bags, 0, 2);
    ++bag_count;
    for (const auto& [g, v] : z.gens) {
      put(gens, g, 2);
      put(gens, v, 2);
      ++gen_count;
    }
    if (z.target >= 0) {
      put(gens, target_gen, 2);
      put(gens, static_cast<std::uint32_t>(z.target), 2);
      ++gen_count;
    }
  }
}

}  // namespace

std::vector<std::uint8_t> sf2_bytes(const sf2_contents& c) {
  bytes phdr, pbag, pgen, inst, ibag, igen, shdr;
  std::size_t pgens = 0, pbags = 0, igens = 0, ibags = 0;
  for (const auto& p : c.presets) {
    put_name(phdr, p.name);
    put(phdr, p.program, 2);
    put(phdr, p.bank, 2);
    put(phdr, static_cast<std::uint32_t>(pbags), 2);
    put(phdr, 0, 12);
    zones(p.zones, 41, pbag, pgen, pgens, pbags);
  }
  put_name(phdr, "EOP");
  put(phdr, 0, 4);
  put(phdr, static_cast<std::uint32_t>(pbags), 2);
  put(phdr, 0, 12);
  for (const auto& i : c.instruments) {
    put_name(inst, i.name);
    put(inst, static_cast<std::uint32_t>(ibags), 2);
    zones(i.zones, 53, ibag, igen, igens, ibags);
  }
  put_name(inst, "EOI");
  put(inst, static_cast<std::uint32_t>(ibags), 2);
  for (bytes* b : {&pbag, &ibag})
    put(*b, static_cast<std::uint32_t>(b == &pbag ? pgens : igens), 4);
  for (bytes* g : {&pgen, &igen}) put(*g, 0, 4);
  for (const auto& s : c.samples) {
    put_name(shdr, s.name);
    for (std::uint32_t v : {s.start, s.end, s.start, s.end, s.rate}) put(shdr, v, 4);
    shdr.push_back(s.pitch);
    shdr.push_back(static_cast<std::uint8_t>(s.correction));
    put(shdr, s.link, 2);
    put(shdr, s.type, 2);
  }
  put_name(shdr, "EOS");
  put(shdr, 0, 26);
  const bytes pmod(10, 0), imod(10, 0);
  const bytes ifil{2, 0, 4, 0};
  bytes words(c.frames * 2, 0), low(c.frames, 0);
  for (std::size_t k = 0; k < c.audio.size() && k < c.frames; ++k) {
    words[2 * k] = static_cast<std::uint8_t>(c.audio[k] >> 8);
    words[2 * k + 1] = static_cast<std::uint8_t>(c.audio[k] >> 16);
    low[k] = static_cast<std::uint8_t>(c.audio[k]);
  }
  const bytes smpl = riff_chunk("smpl", words);
  const bytes sdta = c.sm24 ? list("sdta", {smpl, riff_chunk("sm24", low)}) : list("sdta", {smpl});
  bytes body{'s', 'f', 'b', 'k'};
  for (const bytes& part :
       {list("INFO", {riff_chunk("ifil", ifil)}), sdta,
        list("pdta",
             {riff_chunk("phdr", phdr), riff_chunk("pbag", pbag), riff_chunk("pmod", pmod),
              riff_chunk("pgen", pgen), riff_chunk("inst", inst), riff_chunk("ibag", ibag),
              riff_chunk("imod", imod), riff_chunk("igen", igen), riff_chunk("shdr", shdr)})})
    body.insert(body.end(), part.begin(), part.end());
  return riff_chunk("RIFF", body);
}

}  // namespace qbank::testing
