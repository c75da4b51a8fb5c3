#include "bank/bank_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/start_sector.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"
#include "util/text_format.h"

namespace qbank {
namespace {

using testing::bytes;
namespace fs = std::filesystem;

constexpr std::uint64_t image_size = 15'362'048;
const std::string ok = "[Info] Bank loading OK!";
const std::string version1 = "[Info] Open from Bank File Version 1!\nMultisamples is not loaded!";

// Appends `lines` lines "L0", "L1", ... (a path-name area) to `file`.
void add_lines(bytes& file, int lines) {
  for (int k = 0; k < lines; ++k) {
    const std::string line = "L" + std::to_string(k) + "\r\n";
    file.insert(file.end(), line.begin(), line.end());
  }
}

// A bank file of `version` holding the records of `b` that the version stores, then `lines`
// lines "Ln" (the path-name area).
bytes bank_file(const bank& b, int version, int lines) {
  const sector_bytes& start = start_sector_template(version);
  bytes out(start.begin(), start.end());
  auto add = [&](const void* p, std::size_t n) {
    out.insert(out.end(), static_cast<const std::uint8_t*>(p),
               static_cast<const std::uint8_t*>(p) + n);
  };
  add(&b.image().global, sizeof(global_parameter));
  add(b.image().blends, sizeof(blend) * programs_in_version(version));
  add(b.image().multisamples, sizeof(multisample) * multisamples_in_version(version));
  add_lines(out, lines);
  return out;
}

class BankReader : public ::testing::Test {
 protected:
  testing::temp_dir dir;
  testing::recording_host h;
  bank source;
  bank b;
  fs::path path = dir / "BANK.qbb";

  bool read(const bytes& file, reader_variant v = reader_variant::main) {
    testing::write_file(path, file);
    return read_bank_file(b, path, v, h);
  }
};

TEST_F(BankReader, ABuiltBankReadsBackRecordsAndLists) {
  const std::int16_t s[] = {1, 2, 3};
  testing::write_file(dir / "a.wav", testing::wav_bytes(1, s));
  source.set_file(17, 3, path_to_utf8(dir / "a.wav"));
  source.program(100).osc_mode = 9;
  source.globals().bytes[600] = 0x42;
  ASSERT_TRUE(build_bank_file(source, path, h));
  h = {};
  EXPECT_TRUE(open_bank_file(b, path, h));
  EXPECT_EQ(std::memcmp(b.image_bytes(), source.image_bytes(), image_size), 0);
  EXPECT_EQ(b.file(17, 3), path_to_utf8(dir / "a.wav"));
  EXPECT_EQ(b.file(17, 4), "- - -");
  EXPECT_EQ(h.messages, std::vector<std::string>{ok});
  EXPECT_EQ(h.progress_kinds, std::vector<char>{'r'});
  EXPECT_EQ(h.progress_titles, std::vector<std::string>{"Reading QBB file..."});
  EXPECT_EQ(b.loaded_file_name(), path_to_utf8(path));

  bank m;
  testing::recording_host mh;
  EXPECT_TRUE(read_bank_file(m, path, reader_variant::manager, mh));
  EXPECT_TRUE(mh.messages.empty());
  EXPECT_EQ(m.file(17, 3), path_to_utf8(dir / "a.wav"));
}

TEST_F(BankReader, OldVersionsFillTheirRecordsAndShowTheirNotice) {
  source.program(255).porta_time = 0;  // repaired on load
  source.program(255).osc_mode = 4;
  source.program(256).osc_mode = 4;
  source.multisample(2047).name[0] = 'Z';
  b.program(300).osc_mode = 7;  // not stored in a version-3 file: the open's reset clears it
  testing::write_file(path, bank_file(source, 3, 2048 * 128));
  EXPECT_TRUE(open_bank_file(b, path, h));
  EXPECT_EQ(b.program(255).osc_mode, 4);
  EXPECT_EQ(b.program(255).porta_time, 32);
  EXPECT_EQ(b.program(256).osc_mode, 0);
  EXPECT_EQ(b.program(300).osc_mode, 0);
  EXPECT_EQ(b.multisample(2047).name[0], 'Z');
  EXPECT_EQ(b.file(2047, 127), "L262143");
  EXPECT_EQ(b.file(2048, 0), "- - -");
  EXPECT_EQ(h.messages,
            (std::vector<std::string>{
                "[Info] Open old bank version 3.\nLoaded only first 256 programs!", ok}));
}

TEST_F(BankReader, EveryOldVersionFillsItsRecordCounts) {
  const struct {
    int version;
    int programs;
    int multisamples;
    const char* notice;
  } cases[] = {
      {4, 999, 2048, "[Info] Open old bank version 4.\nLoaded only first 999 programs!"},
      {5, 9999, 2048, "[Info] Open old bank version 5.\nLoaded only first 2048 multisamples!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    source.reset();
    source.program(c.programs - 1).osc_mode = 5;
    source.multisample(c.multisamples - 1).name[0] = 'Q';
    h = {};
    b.reset();
    int version = 0;
    testing::write_file(path, bank_file(source, c.version, c.multisamples * 128));
    EXPECT_TRUE(read_bank_file(b, path, reader_variant::main, h, &version));
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(b.program(c.programs - 1).osc_mode, 5);
    EXPECT_EQ(b.multisample(c.multisamples - 1).name[0], 'Q');
    EXPECT_EQ(b.file(c.multisamples - 1, 127), "L" + std::to_string(c.multisamples * 128 - 1));
    EXPECT_EQ(b.file(2048, 0), "- - -");
    EXPECT_EQ(h.messages, (std::vector<std::string>{c.notice, ok}));
  }
}

TEST_F(BankReader, AVersionOneFileEndsWithItsAudio) {
  // Code 0xAA, records, one slot of audio and nothing after it: a version-1 file.
  source.multisample(4).slots[2] = {4229, 2};
  bytes file = bank_file(source, 2, 0);
  ASSERT_EQ(file.size(), 4229u * 512);
  file.resize(file.size() + 2 * 512, 0x80);
  int version = 0;
  testing::write_file(path, file);
  EXPECT_TRUE(read_bank_file(b, path, reader_variant::main, h, &version));
  EXPECT_EQ(version, 1);
  EXPECT_EQ(+b.multisample(4).slots[2].first_sector, 4229u);
  EXPECT_EQ(b.file(4, 2), "- - -");
  EXPECT_EQ(
      h.messages,
      (std::vector<std::string>{
          version1, "[Info] Open old bank version: 1 or 2.\nLoaded only first 128 programs!", ok}));
}

TEST_F(BankReader, TheManagerNeedsAPathAreaOfMoreThanOneByteAList) {
  // 10000 lists need more than 10000 bytes; the manager variant takes a shorter area for none,
  // the main variant reads it and runs out of lines.
  const bytes file = bank_file(source, 6, 3);
  ASSERT_LT(file.size() - image_size, 10000u);
  testing::write_file(path, file);
  EXPECT_FALSE(read_bank_file(b, path, reader_variant::manager, h));
  EXPECT_EQ(h.messages, std::vector<std::string>{version1});
  EXPECT_EQ(b.file(0, 0), "- - -");
  h = {};
  b.reset();
  EXPECT_THROW(read_bank_file(b, path, reader_variant::main, h), command_error);
  EXPECT_EQ(b.file(0, 2), "L2");
}

TEST_F(BankReader, DamagedFilesGiveOneClearOutcomeEach) {
  bank empty;
  const bytes full = bank_file(empty, 6, 10000 * 128);
  auto cut = [&](std::uint64_t size) { return bytes(full.begin(), full.begin() + size); };
  auto short_header = [&](std::uint64_t size, std::uint64_t needed) {
    return "[Error] The bank file is shorter than its header: " + path_to_utf8(path) +
           "\nIt holds " + group_thousands(size) + " bytes, its header needs " +
           group_thousands(needed) + " bytes.\n\nNothing is loaded.";
  };
  auto damaged = [&](int version) {
    return "[Error] The bank file is damaged: " + path_to_utf8(path) + "\nA version " +
           std::to_string(version) +
           " bank file has the paths of its WAV files after its audio, and this one ends with its "
           "audio.\nThe file lists are not loaded.";
  };
  const std::string old_v2 =
      "[Info] Open old bank version: 1 or 2.\nLoaded only first 128 programs!";
  bytes foreign = full;
  foreign[0x0A5] ^= 1;
  bytes unknown = full;
  unknown[511] = 0xAF;
  bytes noise(70'000);
  std::mt19937 rng(7);
  for (auto& x : noise) x = static_cast<std::uint8_t>(rng());
  const std::string invalid =
      "[Error] Invalid Ample LEAD Sampler Bank!\n...OR...\n...my be this is PROTECTED!!! Ample "
      "LEAD Sampler Bank!";

  const struct {
    const char* name;
    bytes file;
    std::vector<std::string> main;
    std::vector<std::string> manager;
  } cases[] = {
      {"empty file", {}, {"[Error] Problem with opening bank file!"}, {}},
      {"inside the start sector", cut(300), {short_header(300, 512)}, {short_header(300, 512)}},
      {"after the start sector",
       cut(512),
       {short_header(512, image_size)},
       {short_header(512, image_size)}},
      {"after the system settings",
       cut(2560),
       {short_header(2560, image_size)},
       {short_header(2560, image_size)}},
      {"after the programs",
       cut(5'122'048),
       {short_header(5'122'048, image_size)},
       {short_header(5'122'048, image_size)}},
      {"inside a multisample",
       cut(image_size - 100),
       {short_header(image_size - 100, image_size)},
       {short_header(image_size - 100, image_size)}},
      {"header only", cut(image_size), {damaged(6)}, {damaged(6)}},
      {"version 2 header only", bank_file(empty, 2, 0), {version1, old_v2, ok}, {version1, old_v2}},
      {"foreign start sector", foreign, {invalid}, {"[Error] Invalid bank start sector!"}},
      {"unknown version",
       unknown,
       {"[Error] Uncown Bank File Version!"},
       {"[Error] Uncown Bank File Version!"}},
      {"random bytes", noise, {invalid}, {"[Error] Invalid bank start sector!"}},
  };
  for (const auto& c : cases) {
    for (auto v : {reader_variant::main, reader_variant::manager}) {
      h = {};
      b.reset();
      read(c.file, v);
      EXPECT_EQ(h.messages, v == reader_variant::main ? c.main : c.manager) << c.name;
      EXPECT_FALSE(h.progress_open);
      EXPECT_EQ(b.file(0, 0), "- - -") << c.name;
    }
  }
}

TEST_F(BankReader, EveryVersionAfterTheFirstWithoutPathsIsDamaged) {
  for (int version = 3; version <= 6; ++version) {
    h = {};
    b.reset();
    EXPECT_FALSE(read(bank_file(source, version, 0)));
    ASSERT_EQ(h.messages.size(), version == 6 ? 1u : 2u) << version;
    EXPECT_TRUE(h.messages[0].starts_with("[Error] The bank file is damaged: ")) << version;
    EXPECT_EQ(std::count(h.messages.begin(), h.messages.end(), ok), 0) << version;
  }
}

TEST_F(BankReader, ASlotIntoTheHeaderIsRefusedWhereverItLies) {
  // The last slot is sound; an earlier one points into the records.
  source.multisample(3).slots[0] = {100, 1};
  source.multisample(9).slots[5] = {30'004, 1};
  bytes file = bank_file(source, 6, 0);
  file.resize(file.size() + 512, 0);
  add_lines(file, 10000 * 128);
  EXPECT_FALSE(read(file));
  EXPECT_EQ(h.messages,
            std::vector<std::string>{"[Error] The slot tables of the bank file point "
                                     "into its header: " +
                                     path_to_utf8(path) + "\nThe file lists are not loaded."});
}

TEST_F(BankReader, TheLastSlotOfTheLastTableEndsTheAudio) {
  // Every other table is empty; the audio (two sectors) follows the header.
  source.multisample(9999).slots[127] = {30'004, 2};
  bytes file = bank_file(source, 6, 0);
  file.resize(file.size() + 1024, 0x7F);
  add_lines(file, 10000 * 128);
  EXPECT_TRUE(read(file));
  EXPECT_EQ(b.file(0, 0), "L0");
  EXPECT_EQ(b.file(9999, 127), "L1279999");
}

TEST_F(BankReader, PartsOfAnotherBuildAreRefused) {
  bank empty;
  const bytes full = bank_file(empty, 6, 10000 * 128);
  const std::size_t part = 9 << 20;  // 24 MB in parts of 9, 9 and 6 MB
  auto write_parts = [&](std::vector<std::pair<std::string, bytes>> parts) {
    for (const auto& e : fs::directory_iterator(dir.path())) fs::remove(e.path());
    for (auto& [name, content] : parts) testing::write_file(dir / name, content);
  };
  const bytes p0(full.begin(), full.begin() + part);
  const bytes p1(full.begin() + part, full.begin() + 2 * part);
  const bytes p2(full.begin() + 2 * part, full.end());

  // The whole chain reads as one bank.
  write_parts({{"BANK.qbb", p0}, {"BANK.Q01", p1}, {"BANK.Q02", p2}});
  EXPECT_TRUE(read_bank_file(b, path, reader_variant::main, h));
  EXPECT_EQ(h.messages, std::vector<std::string>{ok});

  // A stale part after a bank of one file.
  h = {};
  write_parts({{"BANK.qbb", full}, {"BANK.Q01", bytes(4096, 0x55)}});
  EXPECT_FALSE(read_bank_file(b, path, reader_variant::main, h));
  EXPECT_EQ(h.messages,
            std::vector<std::string>{
                "[Error] The part file BANK.Q01 does not belong to the bank " + path_to_utf8(path) +
                ": the bank's data ends before it. It is left from an earlier, "
                "larger bank; remove it."});

  // A part shorter than the first while a later one exists, and a missing part in between.
  for (const auto& [name, parts] :
       std::vector<std::pair<std::string, std::vector<std::pair<std::string, bytes>>>>{
           {"BANK.Q01",
            {{"BANK.qbb", p0}, {"BANK.Q01", bytes(p1.begin(), p1.end() - 512)}, {"BANK.Q02", p2}}},
           {"BANK.Q01", {{"BANK.qbb", p0}, {"BANK.Q02", p2}}}}) {
    h = {};
    write_parts(parts);
    EXPECT_FALSE(read_bank_file(b, path, reader_variant::main, h));
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_TRUE(h.messages[0].starts_with("[Error] The part files of the bank " +
                                          path_to_utf8(path) + " do not belong together: " + name))
        << h.messages[0];
  }
}

TEST_F(BankReader, SlotTablesThatLeadNowhereLoadNoLists) {
  source.multisample(3).slots[0] = {100'000, 10};  // past the end of the file
  read(bank_file(source, 6, 10000 * 128));
  EXPECT_EQ(h.messages, std::vector<std::string>{"[Error] Go to Position outside all files in "
                                                 "MySplitFileReader_GoToPosition!"});
  EXPECT_EQ(b.file(0, 0), "- - -");

  h = {};
  source.multisample(3).slots[0] = {100, 10};  // inside the header
  read(bank_file(source, 6, 10000 * 128));
  EXPECT_EQ(h.messages,
            std::vector<std::string>{"[Error] The slot tables of the bank file point "
                                     "into its header: " +
                                     path_to_utf8(path) + "\nThe file lists are not loaded."});
  EXPECT_EQ(b.file(0, 0), "- - -");
}

TEST_F(BankReader, APathAreaWithTooFewLinesFillsWhatItHoldsAndStops) {
  testing::write_file(path, bank_file(source, 6, 300));
  EXPECT_THROW(read_bank_file(b, path, reader_variant::main, h), command_error);
  EXPECT_FALSE(h.progress_open);
  EXPECT_EQ(b.file(2, 43), "L299");
  EXPECT_EQ(b.file(2, 44), "- - -");
}

TEST_F(BankReader, APathAreaAcrossPartsAndMissingOrEmptyPartsAreHandled) {
  // The path-name area of this bank starts in part 0 and ends in part 1.
  bytes file = bank_file(source, 6, 10000 * 128);
  const std::size_t limit = image_size + 512;
  testing::write_file(path, bytes(file.begin(), file.begin() + limit));
  testing::write_file(split_part_path(path, 1), bytes(file.begin() + limit, file.end()));
  for (auto v : {reader_variant::main, reader_variant::manager}) {
    b.reset();
    EXPECT_TRUE(read_bank_file(b, path, v, h));
    EXPECT_EQ(b.file(9999, 127), "L1279999");
  }
  // An empty part 1 and a missing one read alike: the lines in part 0 are all there is.
  for (bool empty_part : {true, false}) {
    if (empty_part)
      testing::write_file(split_part_path(path, 1), {});
    else
      fs::remove(split_part_path(path, 1));
    b.reset();
    EXPECT_THROW(read_bank_file(b, path, reader_variant::main, h), command_error);
    EXPECT_EQ(b.file(0, 0), "L0");
  }
}

// A failed open, in either variant, leaves the bank as it was: its records, its file lists and
// its loaded file name. Only a whole read replaces it.
TEST_F(BankReader, AFailedOpenLeavesTheBankAsItWas) {
  const fs::path earlier = dir / "EARLIER.qbb";
  for (const reader_variant variant : {reader_variant::main, reader_variant::manager}) {
    // Refused with a message, or stopped by an error the window shows.
    const auto fails = [&] {
      try {
        return !open_bank_file(b, path, h, nullptr, variant);
      } catch (const std::exception&) {
        return true;
      }
    };
    b.reset();
    b.set_file(3, 3, "kept.wav");
    b.program(2).osc_mode = 7;
    b.set_loaded_file_name(path_to_utf8(earlier));
    EXPECT_THROW(open_bank_file(b, dir / "missing.qbb", h, nullptr, variant), file_error);
    testing::write_file(path, {});
    EXPECT_TRUE(fails());
    bank cut_source;
    cut_source.program(2).osc_mode = 3;
    bytes cut = bank_file(cut_source, 6, 1);  // its path-name area ends after one line
    testing::write_file(path, cut);
    EXPECT_TRUE(fails());
    cut.resize(cut.size() / 2);  // cut inside its records
    testing::write_file(path, cut);
    EXPECT_TRUE(fails());
    EXPECT_EQ(b.loaded_file_name(), path_to_utf8(earlier));
    EXPECT_EQ(b.file(3, 3), "kept.wav");
    EXPECT_EQ(int(b.program(2).osc_mode), 7);
  }
  // A whole read replaces everything, and the bank is named after its file.
  source.program(2).osc_mode = 5;
  testing::write_file(path, bank_file(source, 6, 1280000));
  EXPECT_TRUE(open_bank_file(b, path, h));
  EXPECT_EQ(b.loaded_file_name(), path_to_utf8(path));
  EXPECT_EQ(int(b.program(2).osc_mode), 5);
  EXPECT_EQ(b.file(3, 3), "L387");
}

}  // namespace
}  // namespace qbank
