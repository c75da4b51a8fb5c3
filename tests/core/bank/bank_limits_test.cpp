// Banks that cannot be built are refused by the validation, before anything is written: audio
// past the last sector a slot record can address, and more part files than the reader takes.
#include <gtest/gtest.h>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

TEST(BankLimits, AudioPastTheLastAddressableSectorIsAnError) {
  testing::temp_dir dir;
  // 65535 sectors of silence, the most one slot holds; 65538 slots of it pass 2^32 sectors.
  testing::write_sparse_wav(dir / "long.wav", 1, 65535u * 512u);
  bank b;
  const std::string path = (dir / "long.wav").string();
  int slots = 0;
  for (int n = 0; slots < 65540; ++n)
    for (int j = 0; j < 128 && slots < 65540; ++j, ++slots) b.set_file(n, j, path);
  testing::recording_host h;
  h.default_answer = true;
  const validation_result r = validate_for_build(b, h);
  // 30004 + 65535 k + 65535 <= 2^32 holds for k up to 65535: slots 65536.. do not fit; and
  // 2 TB need far more than 99 parts of 4 GB.
  EXPECT_EQ(r.too_large, 65540u - 65536u + 1u);
  EXPECT_EQ(r.errors(), r.too_large);
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].title, "Report: Bank Too Large");
  EXPECT_EQ(h.reports[0].lines[0], "The bank is too large to build: 5 problems!!!");
  EXPECT_EQ(h.reports[0].lines[2], "1. Audio would pass sector 4294967295 of the bank: " + path);
  // The slots that fit keep their positions; the others own no sectors.
  EXPECT_EQ(+b.multisample(511).slots[127].first_sector, 30004u + 65535u * 65535u);
  EXPECT_EQ(+b.multisample(512).slots[0].first_sector, 0u);
}

TEST(BankLimits, ABankOfMoreThan99PartsIsRefusedBeforeAnythingIsWritten) {
  testing::temp_dir dir;
  bank b;
  testing::recording_host h;
  h.default_answer = true;
  // 24 MB in parts of 128 KiB would need 186 of them.
  EXPECT_FALSE(build_bank_file(b, dir / "BANK.qbb", h, {true, 128 << 10}));
  EXPECT_TRUE(fs::is_empty(dir.path()));
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].lines.back(),
            "The bank needs 186 part files of 131 072 bytes; at most 99 can be read.");
  EXPECT_EQ(h.messages.back(),
            "[Bank creation...] ERRORR...\nCreation of bank is IMPOSSIBLE!\nFound 1 erros!\n\n"
            "Bank is NOT created!");
  // Without splitting there is one file and no part count to pass.
  EXPECT_TRUE(build_bank_file(b, dir / "BANK.qbb", h, {false, 128 << 10}));
}

}  // namespace
}  // namespace qbank
