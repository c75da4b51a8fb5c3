#include "edit/bulk_menu.h"

#include <QAction>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "audio/duplicates.h"
#include "audio/silence.h"
#include "edit/range_dialogs.h"

namespace qbank::gui {

void remove_selected_program(TForm1& form) {
  remove_program(form.main_bank(), form.host(), form.current_program());
}

void remove_multiple_programs(TForm1& form) {
  TDeleteMultiProgramForm dialog(&form, form.current_program());
  dialog.on_remove = [&form](int from, int to) {
    remove_program_range(form.main_bank(), form.host(), from, to);
  };
  dialog.exec();
}

void remove_selected_multisample(TForm1& form) {
  remove_multisample(form.main_bank(), form.host(), form.current_multisample());
}

void remove_multiple_multisamples(TForm1& form) {
  TDeleteMultipleMultisampleForm dialog(&form, form.current_multisample());
  dialog.on_remove = [&form](int from, int to) {
    remove_multisample_range(form.main_bank(), form.host(), from, to);
  };
  dialog.exec();
}

void where_is_used(TForm1& form) {
  where_used_report(form.main_bank(), form.host(), form.current_multisample());
}

void export_program_names_command(TForm1& form) {
  const auto path = form.dialog_boxes().choose_save_file(
      QStringLiteral("Save all Program Nmaes as TEXT file!"),
      dialog_filter(QStringLiteral("Quorvatek Samplers Program Names Text File"),
                    QStringLiteral("txt")));
  if (!path) return;
  export_program_names(form.main_bank(), *path, form.host());
  form.set_status(QStringLiteral("Exported program names to ") + file_name_of(*path));
}

void remove_unused_command(TForm1& form) {
  remove_unused_multisamples_command(form.main_bank(), form.host());
}

void save_name_markers_command(TForm1& form) {
  form.host().changes_files_on_disk();
  save_multisample_name_markers(form.main_bank(), form.host());
}

void program_fix_command(TForm1& form, program_fix fix) {
  run_program_fix(form.main_bank(), form.host(), fix);
}

namespace {

bool fade_on(const TForm1& form) {
  const QAction* fade = form.action(QString::fromLatin1(fade_option_caption));
  return fade && fade->isChecked();
}

}  // namespace

void silence_check(TForm1& form) {
  silence_check_command(form.main_bank(), form.host(), fade_on(form));
}

void silence_apply(TForm1& form, int threshold) {
  form.host().changes_files_on_disk();
  silence_apply_command(form.main_bank(), form.host(), threshold, fade_on(form));
}

void duplicate_samples(TForm1& form) {
  duplicate_samples_command(form.main_bank(), form.host());
}

void merge_duplicate_multisamples(TForm1& form) {
  remove_duplicate_multisamples_command(form.main_bank(), form.host());
}

void duplicate_content(TForm1& form) {
  duplicate_content_command(form.main_bank(), form.host());
}

}  // namespace qbank::gui
