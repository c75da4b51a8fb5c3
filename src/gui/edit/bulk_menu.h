// The main window's commands over many programs and multisamples, the silence tools and the
// duplicate searches. Each runs inside TForm1::run_command, which shows a failure and
// refreshes the window afterwards.
#pragma once

#include "edit/bulk_operations.h"

namespace qbank::gui {

class TForm1;

// Programs grid menu.
void remove_selected_program(TForm1& form);
void remove_multiple_programs(TForm1& form);
// Multisamples grid menu.
void remove_selected_multisample(TForm1& form);
void remove_multiple_multisamples(TForm1& form);
void where_is_used(TForm1& form);
// File, Edit and Tools menus.
void export_program_names_command(TForm1& form);
void remove_unused_command(TForm1& form);
void save_name_markers_command(TForm1& form);
void program_fix_command(TForm1& form, program_fix fix);
void silence_check(TForm1& form);
void silence_apply(TForm1& form, int threshold);
void duplicate_samples(TForm1& form);
void merge_duplicate_multisamples(TForm1& form);
void duplicate_content(TForm1& form);

// The caption of the fade option, whose check mark the silence commands read.
inline constexpr const char* fade_option_caption =
    "Apply 2ms Fade Out AFTER point of removing silence";
// The caption of the audio-content search beside "Test for Dublicated Samples..".
inline constexpr const char* duplicate_content_caption = "Test for Dublicated Audio Content...";

}  // namespace qbank::gui
