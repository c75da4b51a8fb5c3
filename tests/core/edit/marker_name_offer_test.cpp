// The multisample name offered from a marker file beside added files: a marker whose name the
// stored code page cannot hold is not offered (and never stored mangled).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bank/bank.h"
#include "edit/auto_position.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

TEST(MarkerNameOffer, AMarkerNameTheCodePageCannotHoldIsNotOffered) {
  set_active_codepage(1252);
  testing::temp_dir dir;
  write_whole_file(dir / path_from_utf8("\xE6\x97\xA5\xE6\x9C\xAC.msn"), "", 0);  // Japanese
  const std::vector<std::string> paths = {path_to_utf8(dir / "Pad 060.wav")};
  bank b;
  testing::recording_host h;
  h.default_answer = true;
  const placement_counts counts =
      add_multiple_by_name(b, 3, paths, position_criterion::number, transpose_byte(0), h, {});
  set_active_codepage(0);
  EXPECT_EQ(counts.matches, 1u);
  EXPECT_EQ(h.boxes, std::vector<std::string>{"[Info] Added 1 from 1 files."});
  EXPECT_EQ(b.multisample_name_text(3), "- - -           ");
}

}  // namespace
}  // namespace qbank
