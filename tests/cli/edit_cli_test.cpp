// qbank place, octave, common-path and replace-path: exact output, exit codes, written banks.
#include <gtest/gtest.h>

#include <string>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/file_io.h"
#include "support/recording_host.h"
#include "support/run_qbank.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

using testing::q;
using testing::read_script;
using testing::recording_host;
using testing::run_qbank;
using testing::run_result;
using testing::temp_dir;

void save(const bank& b, const std::filesystem::path& path) {
  recording_host h;
  save_script(b, path, h);
}

TEST(EditCli, CommonPathAndReplacePath) {
  temp_dir dir;
  bank b;
  save(b, dir / "empty.qbs");
  run_result none = run_qbank("common-path " + q(dir / "empty.qbs"));
  EXPECT_EQ(none.exit_code, 0);
  EXPECT_EQ(none.out, "\n");

  b.set_file(1, 0, "D:\\Lib\\Piano\\C3.wav");
  b.set_file(1, 1, "D:\\Lib\\Pad\\C3.wav");
  b.set_file(2, 0, "E:\\Samples\\Piano\\C3.wav");
  save(b, dir / "a.qbs");
  EXPECT_EQ(run_qbank("common-path " + q(dir / "a.qbs")).out, "\n");
  run_result r = run_qbank("replace-path " + q(dir / "a.qbs") + " 'D:\\Lib\\' 'E:\\Samples\\' -o " +
                           q(dir / "b.qbs"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  run_result common = run_qbank("common-path " + q(dir / "b.qbs"));
  EXPECT_EQ(common.out, "E:\\Samples\\P\n");
  auto back = read_script(dir / "b.qbs");
  EXPECT_EQ(back->file(1, 0), "E:\\Samples\\Piano\\C3.wav");
  EXPECT_EQ(back->file_id(1, 0), back->file_id(2, 0));
  EXPECT_TRUE(back->slot_is_empty(1, 2));

  // An empty text changes nothing; a text the code page cannot hold is refused, nothing written.
  EXPECT_EQ(
      run_qbank("replace-path " + q(dir / "a.qbs") + " '' X -o " + q(dir / "c.qbs")).exit_code, 0);
  EXPECT_EQ(read_script(dir / "c.qbs")->file(1, 0), "D:\\Lib\\Piano\\C3.wav");
  run_result bad =
      run_qbank("replace-path " + q(dir / "a.qbs") + " 'D:' '日本' -o " + q(dir / "d.qbs"));
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_EQ(bad.out.rfind("[Error] The text \"日本\" holds the character \"日\"", 0), 0u)
      << bad.out;
  EXPECT_FALSE(file_exists(dir / "d.qbs"));
  EXPECT_EQ(run_qbank("replace-path " + q(dir / "a.qbs") + " X -o " + q(dir / "e.qbs")).exit_code,
            2);
  EXPECT_EQ(run_qbank("common-path " + q(dir / "missing.qbs")).exit_code, 3);
}

TEST(EditCli, PlaceByNumberAndNameWithTheMarkerQuestion) {
  temp_dir dir;
  save(bank(), dir / "a.qbs");
  for (const char* name : {"Piano 060.wav", "Piano 072.wav", "Other.wav", "Grand Piano.msn"})
    write_whole_file(dir / name, "", 0);
  const std::string wavs =
      q(dir / "Piano 060.wav") + " " + q(dir / "Piano 072.wav") + " " + q(dir / "Other.wav");
  run_result r = run_qbank("place " + q(dir / "a.qbs") +
                           " --multisample 12 --criterion number --transpose -12 " + wavs + " -o " +
                           q(dir / "b.qbs"));
  EXPECT_EQ(r.exit_code, 0);
  // Standard output is the command's answer; the file with no note is named on standard
  // error, the empty stand-ins are left to the build.
  EXPECT_EQ(r.out,
            "[Info] Added 2 from 3 files.\n"
            "[Question] Use multisample name: \"Grand Piano\" ? -> Yes\n");
  r = run_qbank("place " + q(dir / "a.qbs") + " --multisample 12 --criterion number " + wavs +
                    " -o " + q(dir / "b2.qbs"),
                true);
  EXPECT_NE(r.out.find("qbank: Not placed, no note found in the name: " +
                       (dir / "Other.wav").string() + "\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Piano 060.wav"), std::string::npos) << r.out;
  auto b = read_script(dir / "b.qbs");
  EXPECT_EQ(b->file(12, 72), (dir / "Piano 060.wav").string());
  EXPECT_EQ(b->file(12, 84), (dir / "Piano 072.wav").string());
  EXPECT_EQ(b->multisample_name_text(12), std::string("Grand Piano\0\0\0\0\0", 11));

  // Asked on the terminal and answered No: the files are placed, the name stays.
  run_result asked = run_qbank("-i place " + q(dir / "a.qbs") + " --multisample 3 --criterion b " +
                               q(dir / "Piano 060.wav") + " -o " +
                               q(dir / "c.qbs"));  // no answer on standard input: No
  EXPECT_EQ(asked.exit_code, 0);
  EXPECT_EQ(asked.out,
            "[Info] Added 0 from 1 files.\n"
            "[Question] Use multisample name: \"Grand Piano\" ? [y/N]  -> No\n");
  EXPECT_EQ(read_script(dir / "c.qbs")->multisample_name_text(3), "- - -           ");
}

TEST(EditCli, PlaceRefusesBadArguments) {
  temp_dir dir;
  save(bank(), dir / "a.qbs");
  const std::string base = "place " + q(dir / "a.qbs") + " ";
  const std::string out = " x.wav -o " + q(dir / "b.qbs");
  EXPECT_EQ(run_qbank(base + "--multisample 1 --criterion d" + out).exit_code, 2);
  EXPECT_EQ(run_qbank(base + "--multisample 0 --criterion a" + out).exit_code, 2);
  EXPECT_EQ(run_qbank(base + "--multisample 10000 --criterion a" + out).exit_code, 2);
  EXPECT_EQ(run_qbank(base + "--multisample 1 --criterion a --transpose 5" + out).exit_code, 2);
  EXPECT_EQ(run_qbank(base + "--multisample 1 --criterion a -o " + q(dir / "b.qbs")).exit_code, 2);
  EXPECT_FALSE(file_exists(dir / "b.qbs"));
  EXPECT_EQ(run_qbank(base + "--multisample 1 --criterion c --transpose +48" + out).exit_code, 0);
}

TEST(EditCli, OctaveUpAndDown) {
  temp_dir dir;
  bank b;
  b.set_file(4, 0, "D:\\low.wav");
  b.set_file(4, 127, "D:\\high.wav");
  save(b, dir / "a.qbs");
  run_result up =
      run_qbank("octave " + q(dir / "a.qbs") + " --multisample 4 up -o " + q(dir / "up.qbs"));
  EXPECT_EQ(up.exit_code, 0);
  EXPECT_EQ(up.out, "[Move 1 Octave Up?] Are You Sure? -> Yes\n");
  auto moved = read_script(dir / "up.qbs");
  EXPECT_EQ(moved->file(4, 12), "D:\\low.wav");
  EXPECT_TRUE(moved->slot_is_empty(4, 0));
  EXPECT_TRUE(moved->slot_is_empty(4, 127));

  run_result down =
      run_qbank("octave " + q(dir / "a.qbs") + " --multisample 4 down -o " + q(dir / "dn.qbs"));
  EXPECT_EQ(down.out, "[Move 1 Octave Down?] Are You Sure? -> Yes\n");
  EXPECT_EQ(read_script(dir / "dn.qbs")->file(4, 115), "D:\\high.wav");

  // Answered No: nothing is written.
  run_result no = run_qbank("-i octave " + q(dir / "a.qbs") + " --multisample 4 up -o " +
                            q(dir / "no.qbs"));  // no answer: No
  EXPECT_EQ(no.exit_code, 0);
  EXPECT_EQ(no.out, "[Move 1 Octave Up?] Are You Sure? [y/N]  -> No\n");
  EXPECT_FALSE(file_exists(dir / "no.qbs"));
  EXPECT_EQ(
      run_qbank("octave " + q(dir / "a.qbs") + " --multisample 4 sideways -o " + q(dir / "x.qbs"))
          .exit_code,
      2);
}

}  // namespace
}  // namespace qbank
