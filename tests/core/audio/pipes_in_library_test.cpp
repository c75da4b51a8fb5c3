// A file list that names something other than a file (a named pipe where a WAV file was): the
// operations that read the audio say which one it is and never wait for it, and those that go
// over the whole library still finish with the others.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/duplicates.h"
#include "audio/silence.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

class PipesInLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    // 2000 loud samples, then 1000 of silence.
    std::vector<std::int16_t> tone(2000, 1234);
    tone.resize(3000, 0);
    testing::write_file(dir / "a.wav", testing::wav_bytes(1, tone));
    testing::write_file(dir / "b.wav", testing::wav_bytes(1, tone));
    b.set_file(1, 0, path_to_utf8(dir / "pipe.wav"));
    b.set_file(1, 1, path_to_utf8(dir / "a.wav"));
    b.set_file(2, 0, path_to_utf8(dir / "b.wav"));
    h.default_answer = true;
  }
  std::string pipe_error() const {
    return "[Error] " + path_to_utf8(dir / "pipe.wav") +
           ": Is a named pipe (FIFO), not a regular file";
  }

  testing::temp_dir dir;
  bank b;
  testing::recording_host h;
};

TEST_F(PipesInLibrary, TheSilenceCheckNamesThePipeAndCountsTheOtherFiles) {
  silence_check_command(b, h, false);
  EXPECT_EQ(h.messages, std::vector<std::string>{pipe_error()});
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].lines.at(2),
            "Treshold value:  +/-0     Removed: 4 000 bytes,      In Fades: 0 bytes.");
  EXPECT_FALSE(h.progress_open);
}

TEST_F(PipesInLibrary, TheDuplicateSearchNamesThePipeAndStillFindsTheEqualFiles) {
  ASSERT_TRUE(duplicate_content_command(b, h));
  EXPECT_EQ(h.messages, std::vector<std::string>{pipe_error()});
  ASSERT_EQ(h.reports.size(), 1u);
  EXPECT_EQ(h.reports[0].lines.at(0), "Groups of WAV files with identical audio: 1, files: 2");
  EXPECT_FALSE(h.progress_open);
}

TEST_F(PipesInLibrary, TheBuildStopsAtThePipeAndWritesNoBank) {
  try {
    build_bank_file(b, dir / "BANK.qbb", h);
    ADD_FAILURE() << "a bank was built from a named pipe";
  } catch (const file_error& e) {
    EXPECT_EQ(e.path(), dir / "pipe.wav");
    EXPECT_EQ(e.reason(), "Is a named pipe (FIFO), not a regular file");
  }
  EXPECT_FALSE(file_exists(dir / "BANK.qbb"));
  EXPECT_FALSE(h.progress_open);
}

}  // namespace
}  // namespace qbank
#endif
