// A bank is rebuilt while something still reads the old one: a player, the bank manager, an
// export, or another program. The build must replace it (on Windows too, where a file with open
// handles cannot simply be renamed over), and the reader must go on seeing the old bytes.
#include <gtest/gtest.h>

#include <filesystem>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;
using bytes = std::vector<std::uint8_t>;

bytes read_all(input_file& in) {
  bytes out(static_cast<std::size_t>(in.size()));
  in.seek(0);
  out.resize(in.read(out.data(), out.size()));
  return out;
}

std::size_t count_entries(const fs::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

TEST(BankRebuild, ReplacesABankThatAReaderHoldsOpen) {
  testing::temp_dir dir;
  testing::recording_host h;
  const std::int16_t short_tone[] = {1, 2, 3};
  const std::int16_t long_tone[600] = {7};
  testing::write_file(dir / "a.wav", testing::wav_bytes(1, short_tone));
  testing::write_file(dir / "b.wav", testing::wav_bytes(1, long_tone));
  bank b;
  b.set_file(1, 60, path_to_utf8(dir / "a.wav"));
  const fs::path out = dir / "BANK.qbb";
  ASSERT_TRUE(build_bank_file(b, out, h));
  const bytes first = read_whole_file(out);

  {
    input_file reader(out);  // held open across the rebuilds
    b.set_file(1, 61, path_to_utf8(dir / "b.wav"));
    ASSERT_TRUE(build_bank_file(b, out, h)) << (h.messages.empty() ? "" : h.messages.back());
    const bytes second = read_whole_file(out);
    EXPECT_GT(second.size(), first.size());
    EXPECT_EQ(read_all(reader), first);

    // Once more, while the reader still holds the first build.
    b.set_file(1, 62, path_to_utf8(dir / "b.wav"));
    ASSERT_TRUE(build_bank_file(b, out, h));
    EXPECT_GT(read_whole_file(out).size(), second.size());
    EXPECT_EQ(read_all(reader), first);
  }
  // Once the reader is gone, nothing of the old builds is left beside the bank.
  EXPECT_EQ(count_entries(dir.path()), 3u);  // a.wav, b.wav, BANK.qbb
}

TEST(BankRebuild, AnyReplacedFileMayBeHeldOpen) {
  testing::temp_dir dir;
  write_whole_file(dir / "f.bin", "old", 3);
  {
    input_file reader(dir / "f.bin");
    input_file second_reader(dir / "f.bin");
    write_whole_file(dir / "f.bin", "newer", 5);
    EXPECT_EQ(read_whole_file(dir / "f.bin"), (bytes{'n', 'e', 'w', 'e', 'r'}));
    EXPECT_EQ(read_all(reader), (bytes{'o', 'l', 'd'}));
    EXPECT_EQ(read_all(second_reader), (bytes{'o', 'l', 'd'}));
    write_whole_file(dir / "f.bin", "newest", 6);
    EXPECT_EQ(read_whole_file(dir / "f.bin").size(), 6u);
  }
  EXPECT_EQ(count_entries(dir.path()), 1u);
}

}  // namespace
}  // namespace qbank
