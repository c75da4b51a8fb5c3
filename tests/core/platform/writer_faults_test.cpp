// Every writer of the system, stopped (as if the process were killed) and failed (a full disk,
// an input/output error) at each file step of a clean run in turn: the user's previous files
// stay byte for byte as they were or the new ones are complete, a failure is always shown and
// never reported as success, and the next run leaves no temporary file behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "audio/silence.h"
#include "bank/bank.h"
#include "bank/bank_build.h"
#include "bank/bank_reader.h"
#include "bank/param_file.h"
#include "bank/script_file.h"
#include "edit/bulk_operations.h"
#include "manager/wav_export.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/volume.h"
#include "sdcard/sd_write_assistant.h"
#include "support/fault_trials.h"
#include "support/temp_dir.h"
#include "support/wav_writer.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::fault_operation;
using testing::recording_host;
using testing::shown;

void name_program(bank& b, int p, const char* name) {
  std::memset(b.program(p).name, ' ', sizeof b.program(p).name);
  std::memcpy(b.program(p).name, name, std::strlen(name));
}

void name_multisample(bank& b, int m, const char* name) {
  std::memset(b.multisample(m).name, ' ', sizeof b.multisample(m).name);
  std::memcpy(b.multisample(m).name, name, std::strlen(name));
}

bool has_box_starting(const recording_host& h, std::string_view start) {
  for (const std::string& box : h.boxes)
    if (box.starts_with(start)) return true;
  return false;
}

bool has_report(const recording_host& h, std::string_view title) {
  for (const auto& r : h.reports)
    if (r.title == title) return true;
  return false;
}

// A run that throws file_error on failure and shows nothing on success.
shown done() {
  return {true, false};
}

std::vector<std::int16_t> loud_then_silent(std::size_t loud, std::size_t silent) {
  std::vector<std::int16_t> s(loud + silent, 0);
  for (std::size_t i = 0; i < loud; ++i) s[i] = static_cast<std::int16_t>(i % 2 ? 9000 : -9000);
  return s;
}

// A hand-made bank file of 16 sectors of known audio, and a bank whose multisample 1 names
// three slots in it under `library` (as the bank reader would have left it).
void hand_made_bank(bank& b, const fs::path& bank_file, const fs::path& library) {
  std::vector<std::uint8_t> bytes(16 * 512);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  write_whole_file(bank_file, bytes.data(), bytes.size());
  b.set_loaded_file_name(path_to_utf8(bank_file));
  name_multisample(b, 1, "Piano");
  const char* names[] = {"C3.wav", "D3.wav", "E3.wav"};
  for (int j = 0; j < 3; ++j) {
    b.set_file(1, j, path_to_utf8(library / "Pno" / names[j]));
    b.multisample(1).slots[j] = {static_cast<std::uint32_t>(2 + 4 * j), 3};
  }
  name_multisample(b, 2, "Strings");
  b.set_file(2, 0, path_to_utf8(library / "Str" / "A2.wav"));
  b.multisample(2).slots[0] = {1, 1};
}

folder_chooser chooser(const fs::path& folder) {
  return [folder](std::string_view, std::string_view) { return std::optional<fs::path>(folder); };
}

// One scratch tree and one bank per operation; `make` fills the tree with the files the user
// had before and returns the operation.
struct writer_case {
  const char* name;
  std::function<fault_operation(const fs::path& root, bank& b)> make;
};

constexpr std::uint64_t part_limit = 6ull << 20;

const writer_case writer_cases[] = {
    {"ScriptSave",
     [](const fs::path& root, bank& b) {
       bank old_bank;
       name_program(old_bank, 0, "OLD");
       recording_host h;
       save_script(old_bank, root / "Bank.qbs", h);
       name_program(b, 0, "NEW");
       b.set_file(1, 0, "D:\\Lib\\a.wav");
       return fault_operation{"script save", root, [&b, root](recording_host& h) {
                                save_script(b, root / "Bank.qbs", h);
                                return done();
                              }};
     }},
    {"BankBuildInParts",
     [](const fs::path& root, bank& b) {
       bank old_bank;
       name_program(old_bank, 0, "OLD");
       recording_host h;
       // The old bank has one part more than the new one, so the build also removes a part.
       build_bank_file(old_bank, root / "Bank.qbb", h, {true, part_limit / 2});
       name_program(b, 0, "NEW");
       fault_operation op{
           "bank build", root, [&b, root](recording_host& h) {
             const bool ok = build_bank_file(b, root / "Bank.qbb", h, {true, part_limit});
             return shown{ok, !ok && !h.boxes.empty()};
           }};
       op.consistent = [root] {
         recording_host h;
         bank seen;
         if (!read_bank_file(seen, root / "Bank.qbb", reader_variant::main, h))
           return std::string("the bank cannot be read");
         const std::string name = seen.program_name_text(0).substr(0, 3);
         return name == "OLD" || name == "NEW" ? std::string()
                                               : "the reader sees program \"" + name + "\"";
       };
       return op;
     }},
    {"SilenceTrim",
     [](const fs::path& root, bank& b) {
       for (int j = 0; j < 3; ++j) {
         const fs::path p = root / ("s" + std::to_string(j) + ".wav");
         testing::write_file(p,
                             testing::wav_bytes(1 + j % 2, loud_then_silent(3000, 900 * j + 500)));
         b.set_file(1, j, path_to_utf8(p));
       }
       return fault_operation{"WAV trim", root, [&b](recording_host& h) {
                                h.answers = {true, true};
                                silence_apply_command(b, h, 0, true);
                                const bool error = has_box_starting(h, "[Error]");
                                return shown{!error, error};
                              }};
     }},
    {"ParameterSave",
     [](const fs::path& root, bank& b) {
       std::vector<std::uint8_t> old_params(2048, 0x5a);
       write_whole_file(root / "System.qsp", old_params.data(), old_params.size());
       return fault_operation{"parameter save", root, [&b, root](recording_host& h) {
                                save_system_parameters(b, root / "System.qsp", h);
                                return done();
                              }};
     }},
    {"ProgramNameFile",
     [](const fs::path& root, bank& b) {
       write_whole_file(root / "Names.txt", "old names\r\n", 11);
       name_program(b, 3, "Grand");
       return fault_operation{"program-name file", root, [&b, root](recording_host& h) {
                                export_program_names(b, root / "Names.txt", h);
                                return done();
                              }};
     }},
    {"MarkerFiles",
     [](const fs::path& root, bank& b) {
       for (int m = 1; m <= 3; ++m) {
         const fs::path folder = root / ("ms" + std::to_string(m));
         fs::create_directories(folder);
         testing::write_file(folder / "a.wav", testing::wav_bytes(1, loud_then_silent(64, 0)));
         b.set_file(m, 5, path_to_utf8(folder / "a.wav"));
         name_multisample(b, m, ("Sound" + std::to_string(m)).c_str());
       }
       // An existing marker is emptied by the run.
       write_whole_file(root / "ms2" / "Sound2          .msn", "old", 3);
       return fault_operation{"marker files", root, [&b](recording_host& h) {
                                save_multisample_name_markers(b, h);
                                return done();
                              }};
     }},
    {"ExportOneMultisample",
     [](const fs::path& root, bank& b) {
       hand_made_bank(b, root / "Bank.qbb", "D:\\Lib");
       fs::create_directories(root / "out");
       write_whole_file(root / "out" / "D3.wav", "old export", 10);
       return fault_operation{
           "WAV export of one multisample", root, [&b, root](recording_host& h) {
             const bool error =
                 export_multisample(b, 1, chooser(root / "out"), h).not_exported > 0 ||
                 has_box_starting(h, "[Error]");
             return shown{!error, error};
           }};
     }},
    {"ExportLibrary",
     [](const fs::path& root, bank& b) {
       hand_made_bank(b, root / "Bank.qbb", "D:\\Lib");
       fs::create_directories(root / "out" / "Pno");
       write_whole_file(root / "out" / "Pno" / "E3.wav", "old export", 10);
       return fault_operation{"WAV export of the library", root, [&b, root](recording_host& h) {
                                export_library(b, chooser(root / "out"), h);
                                const bool error = has_report(h, "Report: Files not exported");
                                return shown{!error, error};
                              }};
     }},
    {"SdCardCopy",
     [](const fs::path& root, bank&) {
       const fs::path src = root / "src", card = root / "card";
       fs::create_directories(card);
       fs::create_directories(src);
       auto put = [](const fs::path& p, std::size_t size, int seed) {
         std::vector<std::uint8_t> bytes(size);
         for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * seed);
         write_whole_file(p, bytes.data(), bytes.size());
       };
       {
         // The card takes only a bank the reader takes whole: a real one, in two parts.
         recording_host hb;
         bank built;
         EXPECT_TRUE(build_bank_file(built, src / "B.qbb", hb, {true, 16 << 20}));
       }
       put(src / "B.QBS", 900, 7);
       put(src / "OS.bin", os_file_size, 11);
       put(src / "one.mp3", 5000, 13);
       put(src / "two.mp3", 70, 17);
       fault_operation op{
           "SD card copy", root, [src, card](recording_host& h) {
             sd_write_assistant a;
             a.choose_bank(src / "B.qbb");
             a.set_os_ticked(true);
             a.choose_os_files(std::vector<fs::path>{src / "OS.bin"}, h);
             a.set_mp3_ticked(true);
             a.choose_mp3_files(std::vector<fs::path>{src / "one.mp3", src / "two.mp3"});
             volume_stat v;
             v.fat = true;
             v.type = "vfat";
             v.clusters = 70000;
             v.free_bytes = 1ull << 40;
             v.label = "CARD";
             fixed_volume_layer volumes(v);
             a.choose_destination(card, volumes);
             std::int32_t flag = 0;
             const write_result r = a.write(h, flag);
             return shown{r == write_result::complete,
                          r == write_result::incomplete && has_report(h, not_copied_title)};
           }};
       // A card that already holds files from the stopped run is refused, as any used card is,
       // and the stopped run's temporary is named, not removed.
       op.rerun_completes = false;
       op.rerun_removes_leftovers = false;
       return op;
     }},
};

void PrintTo(const writer_case& c, std::ostream* os) {
  *os << c.name;
}

class WriterFaults : public ::testing::TestWithParam<writer_case> {
 protected:
  void SetUp() override {
    root = dir / "scratch";
    fs::create_directories(root);
    op = GetParam().make(root, b);
  }
  void TearDown() override { set_file_step_hook({}); }

  void report(const char* what, const testing::trial_counts& c) {
    std::printf("%-32s %-12s steps %3d, trials %3d, problems %d\n", op.name.c_str(), what, c.steps,
                c.trials, c.problems);
    EXPECT_GT(c.trials, 0);
  }

  testing::temp_dir dir;
  fs::path root;
  bank b;
  fault_operation op;
};

TEST_P(WriterFaults, AKillAtEveryStepKeepsTheOldFilesOrCompletesTheNewOnes) {
  report("kill", testing::kill_at_every_step(op));
}

TEST_P(WriterFaults, AFullDiskAtEveryWriteAndSyncIsShownAndKeepsTheOldFiles) {
  report("disk full",
         testing::fail_at_every_step(op, step_outcome::no_space,
                                     {file_step::create, file_step::write, file_step::sync_file}));
}

TEST_P(WriterFaults, AnInputOutputErrorAtEveryStepIsShownAndKeepsTheOldFiles) {
  report("I/O error",
         testing::fail_at_every_step(
             op, step_outcome::fail,
             {file_step::create, file_step::write, file_step::sync_file, file_step::rename,
              file_step::remove, file_step::sync_folder, file_step::create_folder}));
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterFaults, ::testing::ValuesIn(writer_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qbank
