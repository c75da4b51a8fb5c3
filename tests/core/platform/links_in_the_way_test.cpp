// Files made from the names a bank stores never follow a link planted below the folder they go
// to: the link is told and left as it is, and nothing appears where it points. A file the user
// names himself is still written through his link.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "audio/conform.h"
#include "audio/conform_codec.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "edit/bulk_operations.h"
#include "manager/wav_export.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace qbank {
namespace {

namespace fs = std::filesystem;

enum class command { single_export, library_export, marker_files, conform, script_save };

struct link_case {
  const char* name;
  command run;
  const char* link;  // below the test's folder; points at elsewhere/t.txt or elsewhere
  bool folder_link;
  const char* real_dir;  // a real folder made first, or null
  const char* told;      // the report line (or, for conform, part of it) that names the link
};

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.insert(path_to_utf8(e.path().filename()));
  return names;
}

TEST(LinksInTheWay, AFileMadeFromStoredNamesNeverFollowsALinkBelowTheChosenFolder) {
  const link_case cases[] = {
      {"single export, file link", command::single_export, "out/C3.wav", false, nullptr,
       "Not exported, a link is in the way: {}"},
      {"single export, marker link", command::single_export, "out/Piano           .msn", false,
       nullptr, "Not written, a link is in the way: {}"},
      {"library export, file link", command::library_export, "out/no/C3.wav", false, "out/no",
       "Not exported, a link is in the way: {}"},
      {"library export, folder link", command::library_export, "out/no", true, nullptr,
       "Not exported, a link is in the way: {}"},
      {"marker files, file link", command::marker_files, "src/Pno/Piano           .msn", false,
       nullptr, "Not written, a link is in the way: {}"},
      {"conform, folder link", command::conform, "out/Pno", true, "out",
       "(a link is in the way: {})"},
      {"conform, file link", command::conform, "out/Pno/C3.wav", false, "out/Pno",
       "the name Pno/C3.wav is taken by another file"},
      {"script save, the user's own link", command::script_save, "mine.qbs", false, nullptr,
       nullptr},
  };
  for (const link_case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.run == command::conform && !conform_available()) continue;
    testing::temp_dir root;
    const fs::path out = root / "out", elsewhere = root / "elsewhere";
    fs::create_directories(root / "src" / "Pno");
    fs::create_directories(root / "src" / "Pad");
    fs::create_directories(elsewhere);
    write_whole_file(elsewhere / "t.txt", "theirs", 6);
    if (c.real_dir) fs::create_directories(root / c.real_dir);
    fs::create_directories(out);
    const fs::path link = root / path_from_utf8(c.link);
    std::error_code no_links;
    if (c.folder_link)
      fs::create_directory_symlink(elsewhere, link, no_links);
    else
      fs::create_symlink(elsewhere / "t.txt", link, no_links);
    if (no_links) GTEST_SKIP() << "no symbolic links on this system";

    // Two 44.1 kHz sources (conform converts them); the bank file holds their audio.
    const std::vector<std::int16_t> samples(600, 1000);
    const fs::path c3 = root / "src" / "Pno" / "C3.wav", e3 = root / "src" / "Pad" / "E3.wav";
    testing::write_wav_with_sndfile(c3, 1, 44100, samples);
    testing::write_wav_with_sndfile(e3, 1, 44100, samples);
    const std::vector<std::uint8_t> bank_bytes(6 * 512, 0x80);
    write_whole_file(root / "bank.QBB", bank_bytes.data(), bank_bytes.size());
    bank b;
    b.set_loaded_file_name(path_to_utf8(root / "bank.QBB"));
    std::memcpy(b.multisample(1).name, "Piano           ", 16);
    b.set_file(1, 0, stored_path(c3));
    b.multisample(1).slots[0] = {2, 1};
    b.set_file(2, 0, stored_path(e3));
    b.multisample(2).slots[0] = {3, 1};
    std::memcpy(b.multisample(2).name, "Pad", 4);

    testing::recording_host h;
    h.default_answer = true;
    const folder_chooser choose = [&](std::string_view, std::string_view) {
      return std::optional<fs::path>(out);
    };
    switch (c.run) {
      case command::single_export:
        export_multisample(b, 1, choose, h);
        break;
      case command::library_export:
        export_library(b, choose, h);
        break;
      case command::marker_files:
        save_multisample_name_markers(b, h);
        break;
      case command::conform: {
        conform_options o;
        o.into = out;
        conform_bank(b, o, h);
        break;
      }
      case command::script_save:
        save_script(b, link, h);
        break;
    }

    EXPECT_TRUE(fs::is_symlink(link)) << "the link is left as it is";
    EXPECT_EQ(names_in(elsewhere), std::set<std::string>{"t.txt"}) << "nothing appeared there";
    const std::string target = testing::file_text(elsewhere / "t.txt");
    if (!c.told) {
      // A file the user named: his link leads to his file, which is written.
      EXPECT_NE(target, "theirs");
      EXPECT_GT(target.size(), 100u);
      continue;
    }
    EXPECT_EQ(target, "theirs");
    if (h.reports.empty()) {
      ADD_FAILURE() << "nothing was told";
      continue;
    }
    std::string told = c.told;
    if (const std::size_t at = told.find("{}"); at != std::string::npos)
      told.replace(at, 2, path_to_utf8(link));
    const auto& lines = h.reports.back().lines;
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& line) {
                              return line == told || (c.run == command::conform &&
                                                      line.find(told) != std::string::npos);
                            }))
        << told << "\n"
        << ::testing::PrintToString(lines);
  }
}

}  // namespace
}  // namespace qbank
