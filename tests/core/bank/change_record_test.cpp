#include "bank/change_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "audio/duplicates.h"
#include "bank/bank.h"
#include "bank/param_file.h"
#include "edit/auto_position.h"
#include "edit/bulk_operations.h"
#include "edit/multisample_edit.h"
#include "edit/path_tools.h"
#include "edit/program_edit.h"
#include "manager/program_transfer.h"
#include "manager/s2_bank.h"
#include "platform/file_io.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank {
namespace {

// What the user can tell apart: every image byte and every file-list text.
struct snapshot {
  std::unique_ptr<bank_image> image;
  std::string texts;

  explicit snapshot(const bank& b) : image(std::make_unique<bank_image>(b.image())) {
    for (int n = 0; n < multisample_count; ++n)
      for (int j = 0; j < slots_per_multisample; ++j) {
        texts.append(b.file(n, j));
        texts.push_back('\n');
      }
  }
  bool operator==(const snapshot& other) const {
    return std::memcmp(image.get(), other.image.get(), sizeof(bank_image)) == 0 &&
           texts == other.texts;
  }
};

void name_it(char (&name)[name_size], const std::string& text) {
  std::memset(name, ' ', name_size);
  std::memcpy(name, text.data(), std::min(text.size(), std::size_t{name_size}));
}

std::string lib_path(int n, int j) {
  return "C:\\Library\\Set" + std::to_string(n % 4) + "\\ms" + std::to_string(n) + " " +
         std::to_string(j) + ".wav";
}

// Programs 0..19 play multisamples 1..12 (with files); 13 and 20 have files but no program;
// 14 repeats 3's list (a duplicate, named by program 19); 30 has a name only.
void fill_bank(bank& b) {
  for (int i = 0; i < 20; ++i) {
    blend& p = b.program(i);
    name_it(p.name, "Program " + std::to_string(i));
    p.zones[0].multisample = static_cast<std::uint16_t>(1 + i % 12);
    p.zones[1].multisample = static_cast<std::uint16_t>(1 + (i + 5) % 12);
    p.lfo_speed = static_cast<std::uint8_t>(i % 12);
    p.pg_transpose = static_cast<std::uint8_t>(10 + i);
    p.osc_mode = i % 3 == 0 ? 11 : 2;
    reinterpret_cast<std::uint8_t*>(&p)[blend_mono_hold_offset] = 1;
  }
  b.program(19).zones[2].multisample = 14;
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 20}) {
    name_it(b.multisample(n).name, "Multi " + std::to_string(n));
    for (int j = 30; j < 90; j += 3) b.set_file(n, j, lib_path(n, j));
    b.multisample(n).slots[30].sector_count = static_cast<std::uint32_t>(n);
  }
  for (int j = 0; j < slots_per_multisample; ++j) b.set_file_id(14, j, b.file_id(3, j));
  name_it(b.multisample(14).name, "Multi 3 again");
  name_it(b.multisample(30).name, "Named only");
  // Accordion programs with a long release.
  for (int i = 2234; i < 2240; ++i) b.program(i).release = 200;
}

// The bank, the other bank and the Sampler 2 bank that the operations work on.
struct fixture {
  bank main;
  bank source;
  s2_bank s2;
  testing::recording_host h;
  testing::temp_dir dir;

  fixture() {
    h.default_answer = true;
    fill_bank(main);
    fill_bank(source);
    for (int n = 1; n < 13; ++n) source.set_file(n, 0, "D:\\Other\\first" + std::to_string(n));
    name_it(s2.sound(30).name, "Sound Thirty");
    name_it(s2.multisample(40).name, "S2 Multi");
    for (int j = 0; j < 10; ++j) s2.set_file(40, j, "E:\\S2\\s" + std::to_string(j) + ".wav");
  }
};

struct undo_case {
  const char* name;
  std::function<void(fixture&)> run;
};

void PrintTo(const undo_case& c, std::ostream* os) {
  *os << c.name;
}

class UndoStep : public ::testing::TestWithParam<undo_case> {};

// The operation runs in one step; undo gives the bank from before it, byte for byte, and redo
// the bank from after it.
TEST_P(UndoStep, UndoRestoresBeforeAndRedoRestoresAfter) {
  fixture f;
  const snapshot before(f.main);
  f.main.begin_step();
  GetParam().run(f);
  change_record step = f.main.end_step();
  const snapshot after(f.main);
  ASSERT_FALSE(before == after) << "the operation changed nothing";
  ASSERT_FALSE(step.empty());
  EXPECT_FALSE(step.restarted());

  step.swap_with(f.main);
  EXPECT_TRUE(snapshot(f.main) == before);
  step.swap_with(f.main);
  EXPECT_TRUE(snapshot(f.main) == after);
  step.swap_with(f.main);
  EXPECT_TRUE(snapshot(f.main) == before);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, UndoStep,
    ::testing::Values(
        undo_case{"FieldEdit", [](fixture& f) { f.main.program(4).program_volume = 33; }},
        undo_case{"WholeImageWrite", [](fixture& f) { f.main.image().blends[7].attack = 9; }},
        undo_case{"ProgramName", [](fixture& f) { rename_program(f.main, 3, "Grand", f.h); }},
        undo_case{"MultisampleNameAndComment",
                  [](fixture& f) {
                    set_multisample_name(f.main, 5, "Strings", f.h);
                    set_multisample_comment(f.main, 5, "bowed", f.h);
                  }},
        undo_case{"ProgramMove", [](fixture& f) { move_program(f.main, 15, 2); }},
        undo_case{"ProgramSwap", [](fixture& f) { swap_programs(f.main, 1, 17); }},
        undo_case{"ProgramCopy", [](fixture& f) { copy_program(f.main, 6, 900); }},
        undo_case{"SlotAddAndRemove",
                  [](fixture& f) {
                    f.main.set_file(7, 2, "C:\\New\\one.wav");
                    remove_files(f.main, 8, 30, 60);
                  }},
        undo_case{"PlacementByName",
                  [](fixture& f) {
                    const std::vector<std::string> paths = {"C:\\Drop\\pad 060.wav",
                                                            "C:\\Drop\\pad 064.wav"};
                    place_by_name(f.main, 9, paths, position_criterion::number, transpose_byte(0));
                  }},
        undo_case{"OctaveMove", [](fixture& f) { move_octave(f.main, 10, false, f.h); }},
        undo_case{"ReplacePath",
                  [](fixture& f) {
                    f.main.set_file(7, 2, "C:\\Library\\Set3\\ms7 2.wav");  // then renamed
                    replace_text_in_paths(f.main, "Set3", "Strings", f.h);
                  }},
        undo_case{"RemoveProgramRange",
                  [](fixture& f) { remove_program_range(f.main, f.h, 3, 8); }},
        undo_case{"RemoveMultisampleRange",
                  [](fixture& f) { remove_multisample_range(f.main, f.h, 2, 6); }},
        undo_case{"RemoveUnused", [](fixture& f) { remove_unused_multisamples(f.main, f.h); }},
        undo_case{"BulkFixes",
                  [](fixture& f) {
                    for (program_fix fix :
                         {program_fix::zone_transpose, program_fix::program_transpose,
                          program_fix::octave_up, program_fix::lfo_speed,
                          program_fix::qs2_mono_hold, program_fix::accordion_release})
                      run_program_fix(f.main, f.h, fix);
                  }},
        undo_case{"OctaveDownAll",
                  [](fixture& f) { run_program_fix(f.main, f.h, program_fix::octave_down); }},
        undo_case{"DuplicateMerge", [](fixture& f) { remove_duplicate_multisamples(f.main, f.h); }},
        undo_case{"ProgramTransfer",
                  [](fixture& f) {
                    for (int s = 0; s < 5; ++s) transfer_program(f.main, f.source, 40 + s, s, f.h);
                  }},
        undo_case{"SoundImport",
                  [](fixture& f) {
                    import_sound(f.main, f.s2, 30);
                    import_s2_multisample(f.main, f.s2, 40);
                  }},
        undo_case{"ParameterFileRead",
                  [](fixture& f) {
                    std::vector<std::uint8_t> bytes(sizeof(global_parameter), 7);
                    write_whole_file(f.dir / "g.qsp", bytes.data(), bytes.size());
                    read_system_parameters(f.main, f.dir / "g.qsp", f.h);
                  }}),
    [](const ::testing::TestParamInfo<undo_case>& info) { return std::string(info.param.name); });

// A step holds what changed, not the bank: one field, one coarse write, or steps merged into
// one gesture; a step over a clear or a replaced bank holds nothing and says so.
TEST(UndoStep, HoldsOnlyWhatChangedAndKnowsARestart) {
  fixture f;
  const snapshot before(f.main);
  f.main.begin_step();
  f.main.program(4).program_volume = 33;
  (void)f.main.program(5);  // handed out, not changed
  (void)f.main.image();     // the whole image, not changed
  change_record first = f.main.end_step();
  EXPECT_LT(first.size_bytes(), 4096u);

  f.main.begin_step();
  f.main.program(4).program_volume = 40;
  f.main.program(6).attack = 3;
  change_record second = f.main.end_step();
  first.merge(std::move(second), f.main);
  first.swap_with(f.main);
  EXPECT_TRUE(snapshot(f.main) == before);

  f.main.begin_step();
  f.main.program(4).program_volume = 1;
  f.main.reset();
  change_record cleared = f.main.end_step();
  EXPECT_TRUE(cleared.restarted());
  EXPECT_TRUE(cleared.empty());

  bank fresh;
  f.main.begin_step();
  f.main.swap(fresh);
  EXPECT_TRUE(f.main.end_step().restarted());
}

}  // namespace
}  // namespace qbank
