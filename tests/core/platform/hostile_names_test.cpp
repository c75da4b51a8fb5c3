// Stored paths and names come from files made elsewhere and are not trusted. Every operation
// that creates files from them is run over a table of hostile texts (parent folders, absolute
// paths, drive and network prefixes, separators and control characters inside names, very long
// names) from a working folder deep inside a scratch tree; the whole tree is listed before and
// after, and nothing may appear outside the folder the operation is meant to write into.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "bank/bank.h"
#include "bank/bank_build.h"
#include "edit/bulk_operations.h"
#include "manager/wav_export.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/volume.h"
#include "sdcard/sd_write_assistant.h"
#include "support/fault_trials.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::recording_host;

// Stored paths as a script or bank made on another machine may hold them. `@` stands for the
// scratch tree's own absolute path, so an absolute path that escaped would show in its listing.
const std::vector<std::string> hostile_paths = {
    "..\\..\\..\\up.wav",
    "../../../up.wav",
    "Lib\\..\\..\\..\\..\\up.wav",
    "@/absolute.wav",
    "@\\absolute2.wav",
    "C:\\drive.wav",
    "C:drive_relative.wav",
    "\\\\server\\share\\unc.wav",
    "\\\\?\\C:\\device.wav",
    "//server/share/unc2.wav",
    "Lib\\ctrl\x01\x1f name.wav",
    "Lib\\tab\tand\nnewline.wav",
    "Lib\\" + std::string(300, 'n') + ".wav",
    std::string(40, 'd') + "\\" + std::string(250, 'e') + "\\" + std::string(250, 'f') + ".wav",
    "..",
    ".",
    "Lib\\..",
    "\\",
    "C:",
};

// Multisample names (16 bytes): they become marker file names.
const std::vector<std::string> hostile_names = {
    "..",      ".",   "../../../up", "..\\..\\..\\up", "C:up",      "C:\\up",  "\\\\srv\\s\\up",
    "/up",     "a/b", "a\\b",        "ctrl\x01name",   "tab\tname", "a:b*c?d", "\"quoted\"",
    "<pipe|>",
};

std::string expand(const std::string& text, const fs::path& scratch) {
  std::string out;
  for (char c : text) out += c == '@' ? path_to_utf8(scratch) : std::string(1, c);
  return out;
}

// The entries that appeared in the tree, outside `allowed` (a relative folder of the tree).
std::vector<std::string> escaped(const testing::tree& before, const testing::tree& after,
                                 const std::string& allowed) {
  std::vector<std::string> out;
  for (const auto& [name, content] : after)
    if (!before.contains(name) && !name.starts_with(allowed + "/") && name != allowed)
      out.push_back(name);
  return out;
}

// A scratch tree with the working folder three levels down, so that parent folders, drive
// relative and relative paths all resolve inside the tree.
class HostileNames : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch = dir / "scratch";
    work = scratch / "one" / "two" / "work";
    fs::create_directories(work / "out");
    fs::create_directories(work / "Lib");
    saved_cwd = fs::current_path();
    fs::current_path(work);
    std::vector<std::uint8_t> bytes(8 * 512, 0x11);
    write_whole_file(work / "bank.qbb", bytes.data(), bytes.size());
  }
  void TearDown() override { fs::current_path(saved_cwd); }

  void name_multisample(int m, const std::string& name) {
    std::memset(b.multisample(m).name, ' ', sizeof b.multisample(m).name);
    std::memcpy(b.multisample(m).name, name.data(), std::min<std::size_t>(name.size(), 16));
  }

  // Runs `op`; a file that cannot be created may stop it, nothing else may.
  void run_and_check(const std::string& what, const std::string& allowed,
                     const std::function<void()>& op) {
    const testing::tree before = testing::snapshot_tree(scratch);
    try {
      op();
    } catch (const file_error&) {
    }
    const std::vector<std::string> out =
        escaped(before, testing::snapshot_tree(scratch), "one/two/work/" + allowed);
    EXPECT_TRUE(out.empty()) << what << " created outside " << allowed << ": "
                             << ::testing::PrintToString(out);
    ++checked;
  }

  testing::temp_dir dir;
  fs::path scratch, work, saved_cwd;
  bank b;
  int checked = 0;
};

folder_chooser chooser(const fs::path& folder) {
  return [folder](std::string_view, std::string_view) { return std::optional<fs::path>(folder); };
}

TEST_F(HostileNames, WavExportsWriteOnlyBelowTheChosenFolder) {
  b.set_loaded_file_name(path_to_utf8(work / "bank.qbb"));
  for (const std::string& text : hostile_paths) {
    for (const std::string& name : {std::string("Piano"), std::string("..\\..\\up")}) {
      SCOPED_TRACE(::testing::PrintToString(text) + " named " + name);
      b.reset_multisample(1);
      name_multisample(1, name);
      b.set_file(1, 0, expand(text, scratch));
      b.multisample(1).slots[0] = {1, 2};
      // A plain entry beside it, so every row exports something and writes its marker.
      b.set_file(1, 1, "Lib\\plain.wav");
      b.multisample(1).slots[1] = {3, 1};
      recording_host h;
      h.default_answer = true;
      run_and_check("the export of one multisample", "out",
                    [&] { export_multisample(b, 1, chooser(work / "out"), h); });
      run_and_check("the library export", "out",
                    [&] { export_library(b, chooser(work / "out"), h); });
    }
  }
  for (const std::string& name : hostile_names) {
    SCOPED_TRACE(::testing::PrintToString(name));
    b.reset_multisample(1);
    name_multisample(1, name);
    b.set_file(1, 0, "Lib\\plain.wav");
    b.multisample(1).slots[0] = {1, 2};
    recording_host h;
    h.default_answer = true;
    run_and_check("the marker of one multisample's export", "out",
                  [&] { export_multisample(b, 1, chooser(work / "out"), h); });
    run_and_check("the library export's marker", "out",
                  [&] { export_library(b, chooser(work / "out"), h); });
  }
  EXPECT_EQ(checked, 2 * (2 * int(hostile_paths.size()) + int(hostile_names.size())));
}

// A marker goes beside the multisample's first file, whatever the name says.
TEST_F(HostileNames, MarkerFilesGoOnlyBesideTheFirstFile) {
  for (const std::string& name : hostile_names) {
    SCOPED_TRACE(::testing::PrintToString(name));
    b.reset_multisample(4);
    name_multisample(4, name);
    b.set_file(4, 0, path_to_utf8(work / "Lib" / "first.wav"));
    recording_host h;
    run_and_check("the marker files", "Lib", [&] { save_multisample_name_markers(b, h); });
  }
}

// Names only ever go into the chosen file's text.
TEST_F(HostileNames, TheProgramNameFileIsTheOnlyFileWritten) {
  for (const std::string& name : hostile_names) {
    SCOPED_TRACE(::testing::PrintToString(name));
    std::memset(b.program(0).name, 0, sizeof b.program(0).name);
    std::memcpy(b.program(0).name, name.data(), std::min<std::size_t>(name.size(), 16));
    name_multisample(1, name);
    recording_host h;
    run_and_check("the program-name file", "out/names.txt",
                  [&] { export_program_names(b, work / "out" / "names.txt", h); });
  }
}

// A name that nearly fills what the file system allows is still replaced safely: its temporary
// name is cut short, and a leftover of a stopped run is recognised and removed.
TEST_F(HostileNames, NamesNearTheLengthLimitAreStillWrittenSafely) {
  const fs::path target = work / "out" / (std::string(250, 'n') + ".txt");
  write_whole_file(target, "old", 3);
  set_file_step_hook([](file_step step, const fs::path&) {
    return step == file_step::rename ? step_outcome::kill : step_outcome::proceed;
  });
  EXPECT_THROW(write_whole_file(target, "new", 3), simulated_kill);
  set_file_step_hook({});
  EXPECT_EQ(testing::snapshot_tree(work / "out").size(), 2u);  // the old file and a leftover
  write_whole_file(target, "new", 3);
  const testing::tree after = testing::snapshot_tree(work / "out");
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after.begin()->second, (std::vector<std::uint8_t>{'n', 'e', 'w'}));
}

#ifndef _WIN32
// On this system a file name may hold a backslash or a control character; copied to a card it
// keeps its name and stays in the card's folder.
TEST_F(HostileNames, CardCopiesStayOnTheCard) {
  const fs::path src = work / "Lib", card = work / "out" / "card";
  fs::create_directories(card);
  std::vector<fs::path> mp3;
  for (const std::string& name :
       {std::string("..\\..\\..\\up.mp3"), std::string("C:\\drive.mp3"),
        std::string("\\\\server\\share\\unc.mp3"), std::string("ctrl\x01\x1f.mp3"),
        std::string(240, 'm') + ".mp3"}) {
    mp3.push_back(src / path_from_utf8(name));
    write_whole_file(mp3.back(), "ID3", 3);
  }
  {
    // The card takes only a bank the reader takes whole.
    recording_host hb;
    bank built;
    ASSERT_TRUE(build_bank_file(built, src / "..\\..\\B.qbb", hb, {false, 0}));
  }
  sd_write_assistant a;
  a.choose_bank(src / "..\\..\\B.qbb");
  a.set_mp3_ticked(true);
  a.choose_mp3_files(mp3);
  volume_stat v;
  v.fat = true;
  v.type = "vfat";
  v.clusters = 70000;
  v.free_bytes = 1ull << 40;
  fixed_volume_layer volumes(v);
  a.choose_destination(card, volumes);
  recording_host h;
  std::int32_t flag = 0;
  write_result result = write_result::refused;
  run_and_check("the SD card copy", "out/card", [&] { result = a.write(h, flag); });
  EXPECT_EQ(result, write_result::complete) << ::testing::PrintToString(h.boxes);
  EXPECT_EQ(testing::snapshot_tree(card).size(), mp3.size() + 2);  // the bank, Mp3/ and its files
}
#endif

}  // namespace
}  // namespace qbank
