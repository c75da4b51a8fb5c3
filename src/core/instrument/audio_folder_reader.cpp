#include "instrument/audio_folder_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

#include "edit/note_names.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 5> audio_extensions = {".wav", ".aif", ".aiff", ".flac",
                                                              ".ogg"};
// Chunks walked before giving up on a file whose chunks never end.
constexpr int max_chunks = 4096;

// smpl body: manufacturer, product, period (u32 each), then the unity note and its pitch
// fraction (of a semitone, over 2^32).
constexpr std::size_t smpl_unity_note = 12;
constexpr std::size_t smpl_pitch_fraction = 16;
constexpr std::size_t smpl_min_size = 20;
// inst body (WAV) and INST body (AIFF) both begin with the base note, then a signed fine tune
// in cents (WAV) or detune in cents (AIFF).
constexpr std::size_t inst_min_size = 2;

std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
std::uint32_t be32(const std::uint8_t* p) {
  return std::uint32_t{p[3]} | std::uint32_t{p[2]} << 8 | std::uint32_t{p[1]} << 16 |
         std::uint32_t{p[0]} << 24;
}

bool read_exactly(byte_source& s, std::uint64_t at, void* into, std::size_t n) {
  s.seek(at);
  std::size_t got = 0;
  while (got < n) {
    const std::size_t k = s.read(static_cast<char*>(into) + got, n - got);
    if (k == 0) return false;
    got += k;
  }
  return true;
}

std::optional<chunk_root> from_body(const std::uint8_t* body, std::size_t size, bool smpl) {
  if (smpl) {
    if (size < smpl_min_size) return std::nullopt;
    const std::uint32_t note = le32(body + smpl_unity_note);
    if (note > 127) return std::nullopt;
    return chunk_root{static_cast<int>(note),
                      le32(body + smpl_pitch_fraction) * 100.0 / 4294967296.0};
  }
  if (size < inst_min_size || body[0] > 127) return std::nullopt;
  return chunk_root{body[0], static_cast<double>(static_cast<std::int8_t>(body[1]))};
}

}  // namespace

std::optional<chunk_root> audio_chunk_root(byte_source& source) {
  std::uint8_t head[12];
  if (!read_exactly(source, 0, head, sizeof head)) return std::nullopt;
  const bool wav = std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
  const bool aiff = std::memcmp(head, "FORM", 4) == 0 && (std::memcmp(head + 8, "AIFF", 4) == 0 ||
                                                          std::memcmp(head + 8, "AIFC", 4) == 0);
  if (!wav && !aiff) return std::nullopt;
  std::optional<chunk_root> inst;
  std::uint64_t at = 12;
  for (int k = 0; k < max_chunks && at + 8 <= source.size(); ++k) {
    std::uint8_t chunk[8];
    if (!read_exactly(source, at, chunk, sizeof chunk)) break;
    const std::uint64_t size = wav ? le32(chunk + 4) : be32(chunk + 4);
    const bool smpl = wav && std::memcmp(chunk, "smpl", 4) == 0;
    const bool is_inst = std::memcmp(chunk, wav ? "inst" : "INST", 4) == 0;
    if (smpl || is_inst) {
      std::uint8_t body[smpl_min_size] = {};
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof body));
      if (read_exactly(source, at + 8, body, n)) {
        const std::optional<chunk_root> root = from_body(body, n, smpl);
        // The sampler chunk is the one players write the unity note to; it wins.
        if (smpl && root) return root;
        if (root && !inst) inst = root;
      }
    }
    at += 8 + size + (size & 1);  // both formats pad a chunk to an even size
  }
  return inst;
}

std::optional<int> note_in_file_name(std::string_view stem) {
  std::optional<int> found;
  auto is_letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  for (std::size_t at = 0; at < stem.size(); ++at) {
    // A name starts a word: "Bass E2" is E2, not the "s E2" or "ss" of "Bass".
    if (at > 0 && is_letter(stem[at - 1])) continue;
    if (const std::optional<note_reading> n =
            read_note_name(stem.substr(at), note_convention::bank);
        n && n->note >= 0 && n->note <= 127)
      found = n->note;
  }
  if (found) return found;
  for (std::size_t at = 0; at + 4 <= stem.size(); ++at) {
    const std::string_view t = stem.substr(at, 4);
    if (t[0] != ' ' ||
        !std::all_of(t.begin() + 1, t.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    if (at + 4 < stem.size() && stem[at + 4] >= '0' && stem[at + 4] <= '9') continue;
    const int n = (t[1] - '0') * 100 + (t[2] - '0') * 10 + (t[3] - '0');
    if (n <= 127) found = n;
  }
  return found;
}

instrument read_audio_folder(const fs::path& path) {
  std::vector<fs::path> files;
  for (const std::string_view ext : audio_extensions) {
    std::vector<fs::path> some = files_with_extension(path, ext);
    files.insert(files.end(), some.begin(), some.end());
  }
  std::sort(files.begin(), files.end());
  if (files.empty())
    throw instrument_error(path_to_utf8(path) +
                           ": the folder holds no audio file (.wav, .aif, .aiff, .flac, .ogg)");
  instrument inst;
  fs::path folder = path.lexically_normal();
  if (folder.filename().empty()) folder = folder.parent_path();  // "Piano/" names "Piano"
  inst.name = path_to_utf8(folder.filename());
  not_carried_tally tally;
  std::map<int, region> by_root;
  for (const fs::path& file : files) {
    const std::string name = path_to_utf8(file.filename());
    region r;
    r.sample = file;
    r.origin = name;
    std::optional<chunk_root> root;
    try {
      input_file in(file);
      root = audio_chunk_root(in);
    } catch (const file_error&) {
      // Unreadable here is unreadable when its audio is taken too; that step says why.
    }
    if (!root) {
      const std::optional<int> note = note_in_file_name(path_to_utf8(file.stem()));
      if (!note) {
        tally.note(name + ": no root note (no smpl or inst chunk, no note name in the file name)");
        continue;
      }
      root = chunk_root{*note, 0};
    }
    r.root_key = root->note;
    r.tune = root->tune;
    const auto [it, added] = by_root.try_emplace(r.root_key, r);
    if (!added)
      tally.note(name + ": root " + std::to_string(r.root_key) + " is already played by " +
                 it->second.origin);
  }
  // Halfway between neighbouring roots; a key just between two goes to the lower one.
  for (auto it = by_root.begin(); it != by_root.end(); ++it) {
    region& r = it->second;
    const auto next = std::next(it);
    if (it != by_root.begin()) {
      const int below = std::prev(it)->first;
      r.lo_key = below + (r.root_key - below) / 2 + 1;
    }
    if (next != by_root.end()) r.hi_key = r.root_key + (next->first - r.root_key) / 2;
    inst.regions.push_back(std::move(r));
  }
  inst.not_carried_over = tally.lines();
  return inst;
}

}  // namespace qbank
