#include "bank/bank_build.h"

#include <gtest/gtest.h>

#include <cstring>

#include "bank/bank.h"
#include "bank/bank_reader.h"
#include "bank/start_sector.h"
#include "platform/codepage.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

using testing::bytes;
namespace fs = std::filesystem;

constexpr std::uint64_t audio_start = 15'362'048;
constexpr std::uint64_t empty_bank_size = 24'322'048;

std::uint16_t u16_at(const bytes& b, std::uint64_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

void name_multisample(bank& b, int n, const char* name) {
  struct multisample& m = b.multisample(n);
  std::memset(m.name, 0, sizeof m.name);
  std::memcpy(m.name, name, std::strlen(name));
  m.comment[0] = '\0';
}

class BankBuild : public ::testing::Test {
 protected:
  testing::temp_dir dir;
  testing::recording_host h;
  bank b;
  fs::path out = dir / "BANK.qbb";

  // Writes a WAV file into the test folder and puts it into slot j of multisample n.
  std::string add_wav(int n, int j, const std::string& name, const bytes& file) {
    const fs::path p = dir / name;
    if (!fs::exists(p)) testing::write_file(p, file);
    b.set_file(n, j, path_to_utf8(p));
    return path_to_utf8(p);
  }
  std::string add_mono(int n, int j, const std::string& name, std::size_t data_bytes) {
    bytes data(data_bytes);
    for (std::size_t k = 0; k < data_bytes; ++k) data[k] = static_cast<std::uint8_t>(k * 31 + 7);
    return add_wav(n, j, name, testing::wav_bytes_raw(1, data));
  }
};

TEST_F(BankBuild, EmptyBankGoldenLayout) {
  std::memset(b.image().start_sector, 0, 512);  // the built file has the template regardless
  ASSERT_TRUE(build_bank_file(b, out, h));
  const bytes file = read_whole_file(out);
  ASSERT_EQ(file.size(), empty_bank_size);
  const sector_bytes& t = start_sector_template(6);
  EXPECT_TRUE(std::equal(t.begin(), t.end(), file.begin()));
  EXPECT_EQ(std::memcmp(file.data() + 512, b.image_bytes() + 512, audio_start - 512), 0);
  EXPECT_EQ(std::string(file.begin() + audio_start, file.begin() + audio_start + 14),
            "- - -\r\n- - -\r\n");
  EXPECT_EQ(h.progress_kinds, (std::vector<char>{'l', 'w'}));
  EXPECT_EQ(h.progress_titles, (std::vector<std::string>{"Calculating...", "Saving QBB file...",
                                                         "Saving Multisamples Path"}));
  EXPECT_TRUE(h.boxes.empty());
  EXPECT_FALSE(h.progress_open);

  h.messages.clear();
  const validation_result r = calculate_bank_size(b, h);
  EXPECT_EQ(r.expected_bank_size, empty_bank_size);
  EXPECT_EQ(h.messages,
            std::vector<std::string>{
                "[Sample Editor] Estimated Bank Size in Version 5 is: 24 322 048 bytes."});
}

TEST_F(BankBuild, MonoSlotsAreOffsetBinaryPaddedToWholeSectors) {
  const std::int16_t extremes[] = {-32768, 0, 32767, -1, 1};
  add_wav(0, 0, "extremes.wav", testing::wav_bytes(1, extremes));
  add_mono(0, 1, "a1000.wav", 1000);
  add_mono(0, 5, "a512.wav", 512);
  add_mono(7, 127, "a513.wav", 513);
  ASSERT_TRUE(build_bank_file(b, out, h));
  const bytes file = read_whole_file(out);

  const slot* s0 = b.multisample(0).slots;
  EXPECT_EQ(+s0[0].first_sector, 30004u);
  EXPECT_EQ(+s0[0].sector_count, 1);
  EXPECT_EQ(+s0[1].first_sector, 30005u);
  EXPECT_EQ(+s0[1].sector_count, 2);
  EXPECT_EQ(+s0[2].first_sector, 0u);
  EXPECT_EQ(+s0[5].first_sector, 30007u);
  EXPECT_EQ(+s0[5].sector_count, 1);
  const slot& s7 = b.multisample(7).slots[127];
  EXPECT_EQ(+s7.first_sector, 30008u);
  EXPECT_EQ(+s7.sector_count, 2);

  // -32768 -> 0x0000, 0 -> 0x8000, 32767 -> 0xFFFF, -1 -> 0x7FFF, 1 -> 0x8001.
  const std::uint16_t mapped[] = {0x0000, 0x8000, 0xFFFF, 0x7FFF, 0x8001};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(u16_at(file, audio_start + 2 * k), mapped[k]) << k;
  for (int k = 5; k < 256; ++k) ASSERT_EQ(u16_at(file, audio_start + 2 * k), 0x8000) << k;

  const std::uint64_t a1000 = 30005ull * 512;
  EXPECT_EQ(u16_at(file, a1000), 0x07 | (0x26 ^ 0x80) << 8);
  for (std::uint64_t k = 1000; k < 1024; k += 2) ASSERT_EQ(u16_at(file, a1000 + k), 0x8000) << k;
  // 513 bytes: the odd last byte is copied as it is, then 511 bytes 00 80 00 ...
  const std::uint64_t a513 = 30008ull * 512;
  EXPECT_EQ(file[a513 + 512], static_cast<std::uint8_t>(512 * 31 + 7));
  EXPECT_EQ(file[a513 + 513], 0x00);
  EXPECT_EQ(file[a513 + 514], 0x80);
  EXPECT_EQ(file[a513 + 1023], 0x00);

  const std::uint64_t paths_at = 30010ull * 512;
  const std::string first_line = path_to_utf8(dir / "extremes.wav") + "\r\n";
  EXPECT_EQ(std::string(file.begin() + paths_at, file.begin() + paths_at + first_line.size()),
            first_line);
  const validation_result again = validate_for_build(b, h);
  EXPECT_EQ(again.expected_bank_size, file.size());
}

TEST_F(BankBuild, StereoFramesAreFoldedToTheirTruncatedMean) {
  const std::int16_t frames[] = {3, -4, -3, 0, 32767, 32767, -32768, -32768, 100, 201};
  add_wav(2, 0, "st.wav", testing::wav_bytes(2, frames));
  // The same frames written by libsndfile where it is built (not for Windows).
  if (testing::have_sndfile) {
    testing::write_wav_with_sndfile(dir / "sf.wav", 2, 48000, frames);
    b.set_file(2, 1, path_to_utf8(dir / "sf.wav"));
  }
  ASSERT_TRUE(build_bank_file(b, out, h));
  const bytes file = read_whole_file(out);
  const std::uint16_t folded[] = {0x8000, 0x7FFF, 0xFFFF, 0x0000, 0x8000 + 150};
  for (std::uint64_t slot_at : {audio_start, audio_start + 512}) {
    if (slot_at != audio_start && !testing::have_sndfile) break;
    for (int k = 0; k < 5; ++k) EXPECT_EQ(u16_at(file, slot_at + 2 * k), folded[k]) << k;
    EXPECT_EQ(u16_at(file, slot_at + 10), 0x8000);
  }
  EXPECT_EQ(+b.multisample(2).slots[1].sector_count, testing::have_sndfile ? 1 : 0);
}

TEST_F(BankBuild, ValidationReportsEveryKindOfBadFileAndTheBuildRefuses) {
  name_multisample(b, 2, "Piano");
  name_multisample(b, 4, "Strings");
  const std::int16_t one[] = {1};
  bytes past_end = testing::wav_bytes(1, one);
  past_end[40] = 200;  // "data" claims 200 bytes, the file holds 2
  b.set_file(2, 0, path_to_utf8(dir / "gone1.wav"));
  add_wav(2, 1, "text.wav", bytes{'h', 'e', 'l', 'l', 'o'});
  b.set_file(2, 2, path_to_utf8(dir / "gone2.wav"));
  add_wav(2, 3, "nodata.wav", testing::riff_file({testing::format_chunk(1)}));
  add_wav(4, 0, "pastend.wav", past_end);
  add_wav(4, 1, "null.wav", testing::wav_bytes_raw(1, {}));
  testing::write_sparse_wav(dir / "long.wav", 1, 65536u * 512);
  b.set_file(4, 2, path_to_utf8(dir / "long.wav"));
  testing::write_sparse_wav(dir / "longest.wav", 2, 65535u * 1024);
  b.set_file(4, 3, path_to_utf8(dir / "longest.wav"));
  h.default_answer = true;

  EXPECT_FALSE(build_bank_file(b, out, h));
  EXPECT_FALSE(fs::exists(out));
  auto d = [&](const char* name) { return path_to_utf8(dir / name); };
  EXPECT_EQ(h.questions, (std::vector<std::string>{
                             "[Info] Found 4 invalid WAV files!!!\n\nShow invalid files ?",
                             "[Info] Missing 2 WAV files!!!\n\nShow missing files ?",
                             "[Info] Null size WAV files 1 !!!\n\nShow null size files ?"}));
  ASSERT_EQ(h.reports.size(), 3u);
  EXPECT_EQ(h.reports[0].title, "Report: Invalid Files");
  EXPECT_EQ(h.reports[0].lines,
            (std::vector<std::string>{
                "Found 4 invalid WAV files!!!", "Multisample Num: 3 - Piano",
                "1. No WAV file: " + d("text.wav"), "2. Invalid WAV format: " + d("nodata.wav"),
                "Multisample Num: 5 - Strings", "3. Invalid WAV format: " + d("pastend.wav"),
                "4. WAV file too long: " + d("long.wav")}));
  EXPECT_EQ(h.reports[1].title, "Report: Missing Files");
  EXPECT_EQ(h.reports[1].lines,
            (std::vector<std::string>{"Missing 2 WAV files!!!", "Multisample Num: 3 - Piano",
                                      "1. Missing file: " + d("gone1.wav"),
                                      "2. Missing file: " + d("gone2.wav")}));
  EXPECT_EQ(h.reports[2].title, "Report: Null Size WAV Files");
  EXPECT_EQ(h.reports[2].lines,
            (std::vector<std::string>{"Null size WAV files 1 !!!", "Multisample Num: 5 - Strings",
                                      "1. Null size WAV file: " + d("null.wav")}));
  EXPECT_EQ(h.messages.back(),
            "[Bank creation...] ERRORR...\nCreation of bank is IMPOSSIBLE!\nFound 7 erros!\n\nBank "
            "is NOT created!");
  // The longest slot that fits (65535 sectors, stereo folded) is placed; bad ones get nothing.
  const slot* s = b.multisample(4).slots;
  EXPECT_EQ(+s[3].sector_count, 65535);
  EXPECT_EQ(+s[3].first_sector, 30004u);
  EXPECT_EQ(+s[2].sector_count, 0);
  EXPECT_EQ(+b.multisample(2).slots[0].first_sector, 0u);
}

TEST_F(BankBuild, DeclinedReportsAreNotShown) {
  b.set_file(0, 0, path_to_utf8(dir / "gone.wav"));
  const validation_result r = validate_for_build(b, h);
  EXPECT_EQ(r.errors(), 1u);
  EXPECT_EQ(h.questions.size(), 1u);
  EXPECT_TRUE(h.reports.empty());
}

TEST_F(BankBuild, StoredPathsAreCodePageBytesWithBackslashes) {
  set_active_codepage(1252);
  const fs::path klaenge = dir / path_from_utf8("Klänge");
  fs::create_directories(klaenge);
  const std::int16_t one[] = {5};
  testing::write_file(klaenge / "a.wav", testing::wav_bytes(1, one));
  const std::string base = path_to_utf8(dir.path());
  b.set_file(0, 0, base + "\\Kl\xE4nge\\a.wav");
  b.set_file(0, 1, base + "\\Kl\xE4nge\\b.wav");
  h.default_answer = true;
  validate_for_build(b, h);
  EXPECT_EQ(+b.multisample(0).slots[0].sector_count, 1);
  ASSERT_EQ(h.reports.size(), 1u);
  // The entry as stored, so that it can be pasted into "Replace text in file path...".
  EXPECT_EQ(h.reports[0].lines.back(), "1. Missing file: " + base + "\\Klänge\\b.wav");
  set_active_codepage(0);
}

TEST_F(BankBuild, ReportHeadersAndDamagedDataChunks) {
  // A name of all 16 characters runs straight into the comment, up to its first zero byte.
  std::memcpy(b.multisample(6).name, "ABCDEFGHIJKLMNOP", 16);
  std::memcpy(b.multisample(6).comment, "loud", 5);
  // The "data" tag is there, its size field is cut off by the end of the file.
  add_wav(6, 0, "cut.wav",
          testing::riff_file({testing::format_chunk(1), bytes{'d', 'a', 't', 'a', 0}}));
  h.default_answer = true;
  EXPECT_EQ(validate_for_build(b, h).errors(), 1u);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Invalid Files");
  EXPECT_EQ(h.reports[0].lines,
            (std::vector<std::string>{"Found 1 invalid WAV files!!!",
                                      "Multisample Num: 7 - ABCDEFGHIJKLMNOPloud",
                                      "1. Invalid WAV format: " + path_to_utf8(dir / "cut.wav")}));
}

// Chunks before the audio may run far past the first bytes the validation reads at once (a
// long LIST or cue chunk): the data chunk is still found, sized and its audio built.
TEST_F(BankBuild, AudioAfterALongChunkListIsFoundAndBuilt) {
  bytes audio(1500);
  for (std::size_t k = 0; k < audio.size(); ++k) audio[k] = static_cast<std::uint8_t>(k * 7 + 3);
  add_wav(1, 0, "tagged.wav",
          testing::riff_file({testing::format_chunk(1), testing::riff_chunk("LIST", bytes(3000, 'x')),
                              testing::riff_chunk("data", audio)}));
  ASSERT_EQ(validate_for_build(b, h).errors(), 0u);
  EXPECT_EQ(+b.multisample(1).slots[0].sector_count, 3u);
  ASSERT_TRUE(build_bank_file(b, out, h));
  const bytes built = read_whole_file(out);
  // Offset binary: the high byte of each sample has its top bit flipped.
  EXPECT_EQ(built[audio_start], audio[0]);
  EXPECT_EQ(built[audio_start + 1], audio[1] ^ 0x80);
  EXPECT_EQ(built[audio_start + 1499], audio[1499] ^ 0x80);
}

TEST_F(BankBuild, ASplitBankReadsBackLikeTheWholeOne) {
  // Parts of 10000 sectors: boundaries inside the header (5,120,000 and 10,240,000 and
  // 15,360,000), inside the 6 MB slot (20,480,000) and inside the path-name area.
  add_mono(0, 0, "small.wav", 3000);
  add_mono(9999, 127, "big.wav", 6'000'001);
  b.program(5).porta_time = 77;
  name_multisample(b, 9999, "Last");
  ASSERT_TRUE(build_bank_file(b, dir / "WHOLE.qbb", h, {.split = false}));
  const build_options small_parts{.split = true, .part_limit = 10'000 * 512};
  ASSERT_TRUE(build_bank_file(b, out, h, small_parts));
  const bytes whole = read_whole_file(dir / "WHOLE.qbb");
  bytes joined;
  int parts = 0;
  for (; fs::exists(split_part_path(out, parts)); ++parts) {
    const bytes part = read_whole_file(split_part_path(out, parts));
    if (fs::exists(split_part_path(out, parts + 1))) {
      EXPECT_EQ(part.size(), 10'000u * 512);
    }
    joined.insert(joined.end(), part.begin(), part.end());
  }
  EXPECT_EQ(parts, 6);
  EXPECT_TRUE(joined == whole);

  bank loaded;
  testing::recording_host rh;
  EXPECT_TRUE(read_bank_file(loaded, out, reader_variant::main, rh));
  EXPECT_EQ(rh.messages, std::vector<std::string>{"[Info] Bank loading OK!"});
  EXPECT_EQ(std::memcmp(loaded.image_bytes(), b.image_bytes(), bank_image_size), 0);
  for (int n : {0, 5000, 9999})
    for (int j = 0; j < 128; ++j) ASSERT_EQ(loaded.file(n, j), b.file(n, j));

  // The big slot's audio reads in one piece across the part boundary.
  const slot& big = loaded.multisample(9999).slots[127];
  MySplitFileReaderClass r(rh);
  ASSERT_TRUE(r.Open(out, true));
  ASSERT_TRUE(r.GoToPosition(std::uint64_t{big.first_sector} * 512));
  bytes audio(std::size_t{big.sector_count} * 512);
  EXPECT_EQ(r.Read(audio.data(), audio.size()), audio.size());
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), whole.begin() + big.first_sector * 512ull));

  // A later, shorter build of the same name leaves no stale parts behind.
  ASSERT_TRUE(build_bank_file(b, out, h, {.split = false}));
  EXPECT_FALSE(fs::exists(split_part_path(out, 1)));
  EXPECT_FALSE(fs::exists(split_part_path(out, 5)));
}

// Changes a WAV file while the build is writing, as another program might.
class meddling_host : public testing::recording_host {
 public:
  fs::path victim;
  void process_events() override {
    recording_host::process_events();
    if (progress_open && progress_kinds.back() == 'w' && !victim.empty()) {
      std::filesystem::resize_file(victim, 50);
      victim.clear();
    }
  }
};

TEST_F(BankBuild, AFailedBuildKeepsThePreviousBankAndLeavesNoTemporaryFiles) {
  testing::write_file(out, bytes{'o', 'l', 'd'});
  add_mono(0, 0, "a.wav", 100);
  add_mono(1, 0, "b.wav", 100);
  meddling_host mh;
  mh.victim = dir / "b.wav";
  EXPECT_THROW(build_bank_file(b, out, mh), command_error);
  EXPECT_FALSE(mh.progress_open);
  EXPECT_EQ(read_whole_file(out), (bytes{'o', 'l', 'd'}));
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 3);

  b.reset_multisample(1);
  EXPECT_THROW(build_bank_file(b, dir / "none" / "x.qbb", h), file_error);
  EXPECT_FALSE(h.progress_open);
}

TEST_F(BankBuild, SavingScriptAndBankAsksTwiceAndRefusesTheBank) {
  b.set_file(0, 3, path_to_utf8(dir / "gone.wav"));
  EXPECT_FALSE(save_script_and_build(b, out, h));
  EXPECT_EQ(h.questions.size(), 2u);
  EXPECT_TRUE(fs::exists(dir / "BANK.QBS"));
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(b.loaded_file_name(), path_to_utf8(dir / "BANK.QBS"));
  EXPECT_EQ(h.messages.back().substr(0, 30), "[Bank creation...] ERRORR...\nC");

  reform_loaded_name(b);
  EXPECT_EQ(b.loaded_file_name(), path_to_utf8(dir / "BANK.QBB"));
  b.set_loaded_file_name("/x/my.bank.qbs");
  reform_loaded_name(b);
  EXPECT_EQ(b.loaded_file_name(), "/x/my.bank.QBB");
  b.reset();
  reform_loaded_name(b);
  EXPECT_EQ(b.loaded_file_name(), "No loaded bank!");
}

}  // namespace
}  // namespace qbank
