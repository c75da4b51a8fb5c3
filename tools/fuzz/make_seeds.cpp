// Seed inputs for the fuzz targets, made at full size by the generators the tests use: the
// demo library's script and the bank built from it (split into parts), second-generation bank
// files, WAV files and a parameter file, each put in the layout its target takes apart.
// Usage: make_seeds OUTPUT_FOLDER   (writes OUTPUT_FOLDER/<target>/*, a work folder beside)
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/script_file.h"
#include "bank/split_file.h"
#include "bank/start_sector.h"
#include "demo/demo_library.h"
#include "manager/s2_format.h"
#include "platform/file_io.h"
#include "support/s2_file_builder.h"
#include "support/sf2_writer.h"
#include "support/wav_writer.h"
#include "ui/null_host.h"

namespace fs = std::filesystem;
using bytes = std::vector<std::uint8_t>;

namespace {

fs::path out_root;

void put(const std::string& target, const std::string& name, const bytes& b) {
  fs::create_directories(out_root / target);
  qbank::write_whole_file(out_root / target / name, b.data(), b.size());
}

void append(bytes& b, const bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
}
void append_number(bytes& b, std::uint64_t v, int count) {
  for (int k = 0; k < count; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

// The logical bank file: its parts joined.
bytes joined_parts(const fs::path& bank) {
  bytes all;
  for (int k = 0; k < qbank::max_split_parts; ++k) {
    const fs::path part = qbank::split_part_path(bank, k);
    if (qbank::file_exists(part)) append(all, qbank::read_whole_file(part));
  }
  return all;
}

void script_seeds(const fs::path& script) {
  const bytes file = qbank::read_whole_file(script);
  const std::size_t binary = qbank::script_v6_binary_size;
  // Version 6 with the first records and the whole text; version 2 reads the same bytes as a
  // shorter binary part, so the text starts inside the names.
  for (int version : {6, 2}) {
    bytes seed{static_cast<std::uint8_t>(version)};
    append_number(seed, 4096, 2);
    seed.insert(seed.end(), file.begin(), file.begin() + 4096);
    seed.insert(seed.end(), file.begin() + binary, file.end());
    put("script_fuzz", "demo_v" + std::to_string(version), seed);
  }
}

void bank_seeds(const fs::path& bank_file) {
  const bytes file = joined_parts(bank_file);
  const std::uint64_t header = qbank::header_size(6);
  // The demo bank as the target takes it: the choice of code (0xFF: version 6), part shape, no
  // part left out, the slot records of the first multisamples, then everything after the header.
  bytes seed{0xFF, 0x01, 0x00, 0xFF};
  const std::size_t first_slots = 512 + 2048 + 512ull * qbank::program_count + 256;
  for (std::size_t k = 0; k < 255; ++k) {
    const std::size_t at = first_slots + (k / 128) * 1024 + (k % 128) * 6;
    seed.insert(seed.end(), file.begin() + at, file.begin() + at + 6);
  }
  seed.insert(seed.end(), file.begin() + header, file.end());
  put("bank_fuzz", "demo_v6", seed);
  // The same after-header bytes as other versions: the slot tables now point elsewhere.
  seed[0] = 0x01;  // version 2
  put("bank_fuzz", "demo_as_v2", seed);
  // The export target: a part size, no paths, the first slot records, the whole bank file.
  bytes ex{0x00, 0x00, 0x00, 0x00, 16};
  for (std::size_t k = 0; k < 16; ++k) {
    const std::size_t at = first_slots + k * 6;
    ex.insert(ex.end(), file.begin() + at, file.begin() + at + 6);
  }
  append(ex, file);
  put("export_fuzz", "demo_bank", ex);
  bytes paths{0x03, 0x00, 12};
  append(paths, bytes{'C', ':', '\\', 'A', '\\', '.', '.', '\\', 'x', '.', 'w', 'v'});
  paths.push_back(3);
  append(paths, bytes{'C', ':', '\\'});
  paths.push_back(0);
  put("export_fuzz", "paths", paths);
}

void s2_seeds(const fs::path& work) {
  // Whole banks, and banks whose names text is cut short (2,000 of its lines) with file
  // information that agrees with it: these fit the target's input limit whole, so their
  // mutations get past the size checks and the records to the names sector and text.
  for (std::size_t lines : {std::size_t{10000} * 128, std::size_t{2000}}) {
    for (int version : {1, 2, 3, 4}) {
      qbank::testing::s2_file_builder builder(version);
      builder.name_lines = lines;
      builder.set_name(0, 0, "C:\\Samples\\Piano 060.wav");
      builder.set_name(9999, 127, "D:\\Last.wav");
      const bytes head = builder.head();
      const bytes tail = builder.tail();
      bytes seed{static_cast<std::uint8_t>(version), 0x00};
      seed.insert(seed.end(), head.begin() + 512, head.begin() + 1024);  // the file information
      append(seed, tail);
      put("s2_bank_fuzz", (lines == 2000 ? "short_names_v" : "builder_v") + std::to_string(version),
          seed);
    }
  }
  (void)work;
}

void wav_seeds() {
  std::vector<std::int16_t> tone(48000);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] = i < 30000 ? static_cast<std::int16_t>((i * 2654435761u) >> 20) - 2048 : 5;
  for (int channels : {1, 2}) {
    bytes seed{0x05};
    append(seed, qbank::testing::wav_bytes(channels, tone));
    put("wav_fuzz", "tone_" + std::to_string(channels), seed);
  }
}

void param_seeds(const qbank::bank& b) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&b.image().global);
  put("param_fuzz", "reset", bytes(p, p + 2048));
}

// Instrument files: an SFZ text with every level, a define and an include of itself (file 1 is
// the text after the NUL), and a SoundFont with a global zone, ranges and a stereo pair.
void instrument_seeds() {
  const std::string sfz =
      "#define $K c4\n<control> default_path=Samples\\\n<global> ampeg_release=0.5\n"
      "<group> lovel=1 hivel=64 // soft\n<region> sample=Soft A.wav key=$K /* a */ tune=-5\n"
      "#include \"1.sfz\"\n"
      "<region> sample=r.wav trigger=release loop_mode=one_shot"
      "\0<master> transpose=12\n<region> sample=b.wav lokey=db4 hikey=64 offset=10 end=99\n";
  put("sfz_fuzz", "levels", bytes(sfz.begin(), sfz.end()));
  // The XML readers: byte 0 even for a DecentSampler preset, odd for a Bitwig multisample.
  const std::string dspreset =
      std::string(1, '\0') +
      "<DecentSampler><groups volume=\"-3dB\" attack=\"0.01\">\n<group loVel=\"1\" "
      "hiVel=\"64\" groupTuning=\"0.5\"><sample path=\"S/C 4.wav\" rootNote=\"60\" "
      "loNote=\"58\" hiNote=\"62\" end=\"99\" trigger=\"release\" seqPosition=\"2\"/>"
      "</group></groups><effects/></DecentSampler>";
  put("dspreset_fuzz", "levels", bytes(dspreset.begin(), dspreset.end()));
  const std::string multisample =
      std::string(1, '\1') +
      "<multisample name=\"T\"><sample file=\"a.wav\" gain=\"-3\" sample-stop=\"9\" "
      "zone-logic=\"round-robin\"><key root=\"60\" low=\"58\" tune=\"0.5\"/><velocity "
      "low=\"1\"/><loop mode=\"loop\"/></sample></multisample>";
  put("dspreset_fuzz", "multisample", bytes(multisample.begin(), multisample.end()));
  namespace t = qbank::testing;
  t::sf2_contents c;
  c.samples = {{"Mono", 0, 400, 44100, 48, -5},
               {"L", 400, 700, 48000, 60, 0, 2, 4},
               {"R", 700, 1000, 48000, 60, 0, 1, 2}};
  c.instruments = {{"Keys",
                    {{{{48, 60}, {38, 0}}},
                     {{{43, t::sf2_range(0, 59)}, {0, 10}}, 0},
                     {{{43, t::sf2_range(60, 127)}, {17, 0xFE0C}}, 1},
                     {{{43, t::sf2_range(60, 127)}, {17, 500}}, 2}}}};
  c.presets = {{"Piano", 0, 0, {{{{43, t::sf2_range(36, 96)}}}, {{{52, 5}}, 0}}}};
  c.sm24 = true;
  bytes sf2{0};
  append(sf2, t::sf2_bytes(c));
  put("sf2_fuzz", "stereo", sf2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds OUTPUT_FOLDER\n");
    return 2;
  }
  try {
    out_root = argv[1];
    const fs::path work = out_root / "work";
    fs::create_directories(work);
    qbank::null_host h;
    const qbank::demo_library demo = qbank::write_demo_library(work / "demo", h);
    script_seeds(demo.script);
    qbank::bank b;
    qbank::load_script(b, demo.script, 6, h);
    param_seeds(b);
    qbank::build_options options;
    options.part_limit = 1 << 20;
    const fs::path bank_file = work / "Demo.qbb";
    if (!qbank::build_bank_file(b, bank_file, h, options)) {
      std::fprintf(stderr, "make_seeds: the demo bank was not built\n");
      return 1;
    }
    bank_seeds(bank_file);
    s2_seeds(work);
    wav_seeds();
    instrument_seeds();
    fs::remove_all(work);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
