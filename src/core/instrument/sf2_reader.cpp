#include "instrument/sf2_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

// Record sizes of the pdta chunks, in bytes.
constexpr std::size_t phdr_size = 38;
constexpr std::size_t bag_size = 4;
constexpr std::size_t mod_size = 10;
constexpr std::size_t gen_size = 4;
constexpr std::size_t inst_size = 22;
constexpr std::size_t shdr_size = 46;
static_assert(phdr_size == 20 + 3 * 2 + 3 * 4);
static_assert(inst_size == 20 + 2);
static_assert(shdr_size == 20 + 5 * 4 + 2 + 2 * 2);

// Generator numbers.
enum gen : std::uint16_t {
  start_offset = 0,
  end_offset = 1,
  start_coarse_offset = 4,
  end_coarse_offset = 12,
  pan = 17,
  attack_vol_env = 34,
  release_vol_env = 38,
  instrument_gen = 41,
  key_range = 43,
  vel_range = 44,
  initial_attenuation = 48,
  coarse_tune = 51,
  fine_tune = 52,
  sample_id = 53,
  sample_modes = 54,
  scale_tuning = 56,
  overriding_root_key = 58,
  generator_count = 61,
};

constexpr std::array<const char*, generator_count> generator_names = {"startAddrsOffset",
                                                                      "endAddrsOffset",
                                                                      "startloopAddrsOffset",
                                                                      "endloopAddrsOffset",
                                                                      "startAddrsCoarseOffset",
                                                                      "modLfoToPitch",
                                                                      "vibLfoToPitch",
                                                                      "modEnvToPitch",
                                                                      "initialFilterFc",
                                                                      "initialFilterQ",
                                                                      "modLfoToFilterFc",
                                                                      "modEnvToFilterFc",
                                                                      "endAddrsCoarseOffset",
                                                                      "modLfoToVolume",
                                                                      "unused1",
                                                                      "chorusEffectsSend",
                                                                      "reverbEffectsSend",
                                                                      "pan",
                                                                      "unused2",
                                                                      "unused3",
                                                                      "unused4",
                                                                      "delayModLFO",
                                                                      "freqModLFO",
                                                                      "delayVibLFO",
                                                                      "freqVibLFO",
                                                                      "delayModEnv",
                                                                      "attackModEnv",
                                                                      "holdModEnv",
                                                                      "decayModEnv",
                                                                      "sustainModEnv",
                                                                      "releaseModEnv",
                                                                      "keynumToModEnvHold",
                                                                      "keynumToModEnvDecay",
                                                                      "delayVolEnv",
                                                                      "attackVolEnv",
                                                                      "holdVolEnv",
                                                                      "decayVolEnv",
                                                                      "sustainVolEnv",
                                                                      "releaseVolEnv",
                                                                      "keynumToVolEnvHold",
                                                                      "keynumToVolEnvDecay",
                                                                      "instrument",
                                                                      "reserved1",
                                                                      "keyRange",
                                                                      "velRange",
                                                                      "startloopAddrsCoarseOffset",
                                                                      "keynum",
                                                                      "velocity",
                                                                      "initialAttenuation",
                                                                      "reserved2",
                                                                      "endloopAddrsCoarseOffset",
                                                                      "coarseTune",
                                                                      "fineTune",
                                                                      "sampleID",
                                                                      "sampleModes",
                                                                      "reserved3",
                                                                      "scaleTuning",
                                                                      "exclusiveClass",
                                                                      "overridingRootKey",
                                                                      "unused5",
                                                                      "endOper"};

// Generators that only an instrument zone may hold; a preset zone's are ignored.
bool instrument_only(int g) {
  return g == 0 || g == 1 || g == 2 || g == 3 || g == 4 || g == 12 || g == 45 || g == 46 ||
         g == 47 || g == 50 || g == 54 || g == 57 || g == 58;
}
// Generators a region carries (or that only shape the zone list).
bool carried(int g) {
  return g == start_offset || g == end_offset || g == start_coarse_offset ||
         g == end_coarse_offset || g == attack_vol_env || g == release_vol_env ||
         g == instrument_gen || g == key_range || g == vel_range || g == initial_attenuation ||
         g == coarse_tune || g == fine_tune || g == sample_id || g == sample_modes ||
         g == scale_tuning || g == overriding_root_key;
}

// Sample types.
constexpr std::uint16_t right_sample = 2;
constexpr std::uint16_t left_sample = 4;
constexpr std::uint16_t compressed_sample = 0x10;
constexpr std::uint16_t rom_sample = 0x8000;

std::uint16_t u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t u32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string fixed_text(const std::uint8_t* p, std::size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  s.resize(std::min(s.find('\0'), s.size()));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The generators one zone sets: the raw 16-bit amounts.
using zone_gens = std::array<std::optional<std::uint16_t>, generator_count>;

std::int16_t signed_amount(std::uint16_t v) {
  return static_cast<std::int16_t>(v);
}

struct zone {
  zone_gens gens;
  int target = -1;  // the instrument (preset zone) or sample header (instrument zone)
};

struct zone_list {
  std::optional<zone> global;
  std::vector<zone> zones;
};

// A region before stereo halves are joined, with the generators it could not carry.
struct pending_region {
  region r;
  std::vector<int> dropped;
};

class sf2_file {
 public:
  sf2_file(byte_source& source, const fs::path& path) : source_(source), path_(path) {
    read_structure();
  }

  std::vector<sf2_preset> presets() const {
    std::vector<sf2_preset> out;
    for (std::size_t p = 0; p + 1 < count("phdr"); ++p) {
      const std::uint8_t* r = record("phdr", p);
      out.push_back({u16(r + 22), u16(r + 20), fixed_text(r, 20)});
    }
    return out;
  }

  instrument read(std::string_view choice) {
    const std::vector<sf2_preset> all = presets();
    const std::size_t p = choose(all, choice);
    instrument inst;
    inst.name = all[p].name;
    const std::string preset_text =
        std::to_string(all[p].bank) + ":" + std::to_string(all[p].program);
    const std::size_t bag_begin = u16(record("phdr", p) + 24);
    const std::size_t bag_end = u16(record("phdr", p + 1) + 24);
    const zone_list pzones = zones("phdr", "pbag", "pgen", bag_begin, bag_end, instrument_gen,
                                   count("inst") - 1, "instrument");
    if (pzones.global || !pzones.zones.empty()) note_modulators("pbag", "pmod", bag_begin, bag_end);
    std::vector<pending_region> regions;
    std::uint64_t combinations = 0;
    int pz_number = 0;
    for (const zone& pz : pzones.zones) {
      ++pz_number;
      const std::uint8_t* ir = record("inst", pz.target);
      const std::size_t ibag_begin = u16(ir + 20);
      const std::size_t ibag_end = u16(record("inst", pz.target + 1) + 20);
      const std::string inst_name = fixed_text(ir, 20);
      const zone_list izones = zones("inst", "ibag", "igen", ibag_begin, ibag_end, sample_id,
                                     count("shdr") - 1, "sample");
      note_modulators("ibag", "imod", ibag_begin, ibag_end);
      int iz_number = 0;
      for (const zone& iz : izones.zones) {
        ++iz_number;
        // Presets that use the same instrument many times over: a bound on the work.
        if (++combinations > max_regions)
          fail("pdta", "more than " + std::to_string(max_regions) + " zones in one preset");
        auto r = make_region(pzones.global, pz, izones.global, iz);
        if (!r) continue;
        r->r.origin = "preset " + preset_text + " zone " + std::to_string(pz_number) +
                      ", instrument \"" + inst_name + "\" zone " + std::to_string(iz_number);
        regions.push_back(std::move(*r));
      }
    }
    join_stereo(regions);
    for (pending_region& pr : regions) {
      for (int g : pr.dropped)
        if (!(g == pan && pr.r.embedded->side == sample_side::stereo))
          tally_.add(generator_names[g]);
      inst.regions.push_back(std::move(pr.r));
    }
    inst.not_carried_over = tally_.lines();
    return inst;
  }

 private:
  static constexpr std::uint64_t max_regions = 65536;

  [[noreturn]] void fail(std::string_view chunk, const std::string& what) const {
    throw instrument_error(path_to_utf8(path_) + ": chunk '" + std::string(chunk) + "': " + what);
  }

  std::vector<std::uint8_t> read_at(std::uint64_t offset, std::size_t n, std::string_view chunk) {
    std::vector<std::uint8_t> b(n);
    source_.seek(offset);
    std::size_t got = 0;
    while (got < n) {
      const std::size_t k = source_.read(b.data() + got, n - got);
      if (k == 0) fail(chunk, "the file ends inside it");
      got += k;
    }
    return b;
  }

  // Walks the chunks of [begin, end), calling `each(id, body offset, body size)`.
  template <typename F>
  void walk(std::uint64_t begin, std::uint64_t end, std::string_view parent, F each) {
    std::uint64_t at = begin;
    while (at < end) {
      if (end - at < 8) fail(parent, "a chunk header is cut short");
      const auto h = read_at(at, 8, parent);
      const std::string id(reinterpret_cast<const char*>(h.data()), 4);
      const std::uint64_t size = u32(h.data() + 4);
      if (size > end - at - 8) fail(id, "runs past the end of '" + std::string(parent) + "'");
      each(id, at + 8, size);
      at += 8 + size + (size & 1);
    }
  }

  void read_structure() {
    const std::uint64_t file_size = source_.size();
    if (file_size < 12) fail("RIFF", "the file is too short for a SoundFont");
    const auto h = read_at(0, 12, "RIFF");
    if (std::string_view(reinterpret_cast<const char*>(h.data()), 4) != "RIFF" ||
        std::string_view(reinterpret_cast<const char*>(h.data()) + 8, 4) != "sfbk")
      fail("RIFF", "not a SoundFont (no RIFF sfbk header)");
    const std::uint64_t riff_size = u32(h.data() + 4);
    if (riff_size < 4 || riff_size > file_size - 8) fail("RIFF", "runs past the end of the file");
    walk(12, 8 + riff_size, "RIFF",
         [this](const std::string& id, std::uint64_t at, std::uint64_t size) {
           if (id != "LIST") return;
           if (size < 4) fail("LIST", "has no list type");
           const auto t = read_at(at, 4, "LIST");
           const std::string type(reinterpret_cast<const char*>(t.data()), 4);
           if (type == "sdta") {
             walk(at + 4, at + size, "sdta",
                  [this](const std::string& id, std::uint64_t body, std::uint64_t n) {
                    if (id == "smpl") {
                      smpl_offset_ = body;
                      smpl_frames_ = n / 2;
                      has_smpl_ = true;
                    } else if (id == "sm24") {
                      sm24_offset_ = body;
                      sm24_size_ = n;
                    }
                  });
           } else if (type == "pdta") {
             walk(at + 4, at + size, "pdta",
                  [this](const std::string& id, std::uint64_t body, std::uint64_t n) {
                    pdta_[id] = read_at(body, static_cast<std::size_t>(n), id);
                  });
           }
         });
    if (!has_smpl_) fail("sdta", "there is no smpl chunk");
    // An sm24 chunk holds one byte per frame (padded to an even size); another size is not one.
    has_24_bit_ = sm24_size_ == smpl_frames_ + (smpl_frames_ & 1) || sm24_size_ == smpl_frames_;
    if (sm24_size_ && !has_24_bit_) tally_.note("sm24 (its size does not fit smpl: 16-bit used)");
    for (const auto& [id, size, minimum] :
         {std::tuple{"phdr", phdr_size, 2}, std::tuple{"pbag", bag_size, 1},
          std::tuple{"pmod", mod_size, 0}, std::tuple{"pgen", gen_size, 1},
          std::tuple{"inst", inst_size, 2}, std::tuple{"ibag", bag_size, 1},
          std::tuple{"imod", mod_size, 0}, std::tuple{"igen", gen_size, 1},
          std::tuple{"shdr", shdr_size, 2}}) {
      const auto it = pdta_.find(id);
      if (it == pdta_.end()) {
        if (minimum == 0) continue;
        fail("pdta", std::string("there is no ") + id + " chunk");
      }
      if (it->second.size() % size != 0)
        fail(id, "its size " + std::to_string(it->second.size()) + " is not a multiple of " +
                     std::to_string(size));
      if (it->second.size() / size < static_cast<std::size_t>(minimum)) fail(id, "too few records");
    }
  }

  std::size_t count(const std::string& id) const {
    const auto it = pdta_.find(id);
    if (it == pdta_.end()) return 0;
    static const std::map<std::string, std::size_t> sizes = {
        {"phdr", phdr_size}, {"pbag", bag_size},  {"pmod", mod_size},
        {"pgen", gen_size},  {"inst", inst_size}, {"ibag", bag_size},
        {"imod", mod_size},  {"igen", gen_size},  {"shdr", shdr_size}};
    return it->second.size() / sizes.at(id);
  }
  const std::uint8_t* record(const std::string& id, std::size_t k) const {
    const auto& b = pdta_.at(id);
    static const std::map<std::string, std::size_t> sizes = {
        {"phdr", phdr_size}, {"pbag", bag_size},  {"pmod", mod_size},
        {"pgen", gen_size},  {"inst", inst_size}, {"ibag", bag_size},
        {"imod", mod_size},  {"igen", gen_size},  {"shdr", shdr_size}};
    return b.data() + k * sizes.at(id);
  }

  std::size_t choose(const std::vector<sf2_preset>& all, std::string_view choice) const {
    if (choice.empty()) return 0;
    const auto number = [](std::string_view t) -> std::optional<int> {
      int n = 0;
      const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
      if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
      return n;
    };
    std::optional<std::size_t> found;
    const auto better = [&](std::size_t k) {
      if (!found || all[k].bank < all[*found].bank) found = k;
    };
    const std::size_t colon = choice.find(':');
    const auto bank =
        colon == std::string_view::npos ? std::nullopt : number(choice.substr(0, colon));
    const auto program =
        number(colon == std::string_view::npos ? choice : choice.substr(colon + 1));
    if (program && (colon == std::string_view::npos || bank)) {
      for (std::size_t k = 0; k < all.size(); ++k)
        if (all[k].program == *program && (!bank || all[k].bank == *bank)) better(k);
    }
    const auto lower = [](std::string s) {
      for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      return s;
    };
    for (std::size_t k = 0; !found && k < all.size(); ++k)
      if (all[k].name == choice) found = k;
    for (std::size_t k = 0; !found && k < all.size(); ++k)
      if (lower(all[k].name) == lower(std::string(choice))) found = k;
    if (!found)
      throw instrument_error(path_to_utf8(path_) + ": there is no preset \"" + std::string(choice) +
                             "\"");
    return *found;
  }

  // The zones of bags [begin, end) of a preset or an instrument (`owner`); each zone's last
  // generator `target_gen` points at an index below `targets`.
  zone_list zones(const std::string& owner, const std::string& bags, const std::string& gens,
                  std::size_t begin, std::size_t end, int target_gen, std::size_t targets,
                  const std::string& target_name) const {
    if (begin > end || end >= count(bags))
      fail(owner, "its bag index lies past the end of '" + bags + "'");
    zone_list out;
    for (std::size_t b = begin; b < end; ++b) {
      const std::size_t g_begin = u16(record(bags, b));
      const std::size_t g_end = u16(record(bags, b + 1));
      if (g_begin > g_end || g_end >= count(gens))
        fail(bags, "its generator index lies past the end of '" + gens + "'");
      zone z;
      for (std::size_t g = g_begin; g < g_end; ++g) {
        const std::uint8_t* r = record(gens, g);
        const std::uint16_t oper = u16(r);
        const std::uint16_t amount = u16(r + 2);
        if (oper == target_gen) {
          if (amount >= targets)
            fail(gens,
                 "its " + target_name + " index " + std::to_string(amount) + " lies past the end");
          z.target = amount;
          break;  // generators after it are to be ignored
        }
        if (oper < generator_count) z.gens[oper] = amount;
      }
      if (z.target >= 0)
        out.zones.push_back(z);
      else if (b == begin)
        out.global = z;
      else
        tally_.note("a zone of '" + owner + "' without its " + target_name + " (ignored)");
    }
    return out;
  }

  void note_modulators(const std::string& bags, const std::string& mods, std::size_t begin,
                       std::size_t end) {
    // The bags' modulator indexes, like their generator indexes, end at the terminal record.
    const std::size_t m_begin = u16(record(bags, begin) + 2);
    const std::size_t m_end = u16(record(bags, end) + 2);
    if (m_begin > m_end || m_end > (count(mods) > 0 ? count(mods) - 1 : 0))
      fail(bags, "its modulator index lies past the end of '" + mods + "'");
    for (std::size_t m = m_begin; m < m_end; ++m) tally_.add("modulator");
  }

  std::optional<pending_region> make_region(const std::optional<zone>& pglobal, const zone& pz,
                                            const std::optional<zone>& iglobal, const zone& iz) {
    const auto inst_value = [&](int g) -> std::optional<std::uint16_t> {
      if (iz.gens[g]) return iz.gens[g];
      if (iglobal && iglobal->gens[g]) return iglobal->gens[g];
      return std::nullopt;
    };
    const auto preset_value = [&](int g) -> std::optional<std::uint16_t> {
      if (instrument_only(g)) return std::nullopt;
      if (pz.gens[g]) return pz.gens[g];
      if (pglobal && pglobal->gens[g]) return pglobal->gens[g];
      return std::nullopt;
    };
    const auto sum = [&](int g, int fallback) {
      const auto i = inst_value(g);
      const auto p = preset_value(g);
      return (i ? signed_amount(*i) : fallback) + (p ? signed_amount(*p) : 0);
    };
    pending_region out;
    region& r = out.r;
    // Ranges: low byte first; the preset's window narrows the instrument's.
    const auto range = [&](int g, int& lo, int& hi) {
      lo = 0;
      hi = 127;
      for (const auto v : {inst_value(g), preset_value(g)}) {
        if (!v) continue;
        lo = std::max(lo, static_cast<int>(*v & 0xFF));
        hi = std::min(hi, static_cast<int>(*v >> 8));
      }
    };
    range(key_range, r.lo_key, r.hi_key);
    range(vel_range, r.lo_vel, r.hi_vel);
    if (r.lo_key > r.hi_key || r.lo_vel > r.hi_vel) return std::nullopt;  // zones that never meet

    const int s = iz.target;
    const std::uint8_t* h = record("shdr", s);
    const std::uint32_t start = u32(h + 20);
    const std::uint32_t end = u32(h + 24);
    const std::uint32_t rate = u32(h + 36);
    const std::uint8_t pitch = h[40];
    const auto correction = static_cast<std::int8_t>(h[41]);
    const std::uint16_t link = u16(h + 42);
    const std::uint16_t type = u16(h + 44);
    const std::string name = fixed_text(h, 20);
    if (type & rom_sample) {
      tally_.note("sample \"" + name + "\" lies in a ROM (its zones are left out)");
      return std::nullopt;
    }
    if (type & compressed_sample) {
      tally_.note("sample \"" + name + "\" is compressed (its zones are left out)");
      return std::nullopt;
    }
    if (start >= end || end > smpl_frames_)
      fail("shdr", "sample " + std::to_string(s) + " lies outside 'smpl'");
    if ((type & (left_sample | right_sample)) && link >= count("shdr") - 1)
      fail("shdr", "sample " + std::to_string(s) + " links to a sample past the end");

    embedded_sample e;
    e.header = s;
    e.start = start;
    e.end = end;
    e.rate = rate;
    e.smpl_offset = smpl_offset_;
    e.sm24_offset = has_24_bit_ ? sm24_offset_ : 0;
    e.side = type & left_sample    ? sample_side::left
             : type & right_sample ? sample_side::right
                                   : sample_side::mono;
    if (e.side != sample_side::mono) e.link = link;
    r.embedded = e;

    const auto root = inst_value(overriding_root_key);
    const int forced_root = root ? signed_amount(*root) : -1;
    r.root_key = forced_root >= 0 && forced_root <= 127 ? forced_root : pitch <= 127 ? pitch : 60;
    r.transpose = sum(coarse_tune, 0);
    r.tune = sum(fine_tune, 0) + correction;
    r.volume = -sum(initial_attenuation, 0) / 10.0;
    const int scale = sum(scale_tuning, 100);
    r.pitch_keytrack = scale != 0;
    if (scale != 0 && scale != 100) tally_.add("scaleTuning");
    // Offsets move the sample's own start and end; 32768 frames per coarse step.
    const auto frame = [&](std::int64_t base, int fine, int coarse) {
      const std::int64_t at = base + sum(fine, 0) + 32768 * std::int64_t{sum(coarse, 0)};
      return std::clamp<std::int64_t>(at, start, end);
    };
    const std::int64_t first = frame(start, start_offset, start_coarse_offset);
    const std::int64_t last = frame(end, end_offset, end_coarse_offset);
    if (first >= last) {
      tally_.note("a zone of sample \"" + name + "\" plays no frames (left out)");
      return std::nullopt;
    }
    r.offset = static_cast<std::uint64_t>(first - start);
    if (last != end) r.end = static_cast<std::uint64_t>(last - start);
    const auto modes = inst_value(sample_modes);
    if (modes && (*modes & 1)) tally_.add("sampleModes (loop)");
    // Envelope times are timecents: seconds = 2^(tc / 1200).
    const auto seconds = [&](int g) -> std::optional<double> {
      if (!inst_value(g) && !preset_value(g)) return std::nullopt;
      return std::pow(2.0, std::clamp(sum(g, -12000), -12000, 8000) / 1200.0);
    };
    r.attack = seconds(attack_vol_env);
    r.release = seconds(release_vol_env);
    for (int g = 0; g < generator_count; ++g)
      if (!carried(g) && (inst_value(g) || preset_value(g))) out.dropped.push_back(g);
    return out;
  }

  // A left half and the right half it links to, over the same keys and velocities, become one
  // stereo region.
  static void join_stereo(std::vector<pending_region>& regions) {
    std::vector<bool> gone(regions.size(), false);
    for (std::size_t k = 0; k < regions.size(); ++k) {
      region& left = regions[k].r;
      if (gone[k] || left.embedded->side != sample_side::left) continue;
      for (std::size_t j = 0; j < regions.size(); ++j) {
        const region& right = regions[j].r;
        if (gone[j] || j == k || right.embedded->side != sample_side::right ||
            right.embedded->header != left.embedded->link || right.lo_key != left.lo_key ||
            right.hi_key != left.hi_key || right.lo_vel != left.lo_vel ||
            right.hi_vel != left.hi_vel)
          continue;
        left.embedded->side = sample_side::stereo;
        left.embedded->link_start = right.embedded->start;
        left.embedded->link_end = right.embedded->end;
        regions[k].dropped.insert(regions[k].dropped.end(), regions[j].dropped.begin(),
                                  regions[j].dropped.end());
        gone[j] = true;
        break;
      }
    }
    std::size_t kept = 0;
    for (std::size_t k = 0; k < regions.size(); ++k)
      if (!gone[k]) {
        if (kept != k) regions[kept] = std::move(regions[k]);
        ++kept;
      }
    regions.resize(kept);
  }

  byte_source& source_;
  fs::path path_;
  std::map<std::string, std::vector<std::uint8_t>> pdta_;
  std::uint64_t smpl_offset_ = 0;
  std::uint64_t smpl_frames_ = 0;
  std::uint64_t sm24_offset_ = 0;
  std::uint64_t sm24_size_ = 0;
  bool has_smpl_ = false;
  bool has_24_bit_ = false;
  mutable not_carried_tally tally_;
};

}  // namespace

std::vector<sf2_preset> sf2_presets(byte_source& source, const std::filesystem::path& path) {
  return sf2_file(source, path).presets();
}

instrument read_sf2(byte_source& source, const std::filesystem::path& path,
                    std::string_view preset) {
  return sf2_file(source, path).read(preset);
}

instrument read_sf2_file(const std::filesystem::path& path, std::string_view preset) {
  input_file file(path);
  return read_sf2(file, path, preset);
}

}  // namespace qbank
