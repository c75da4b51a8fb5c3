#include "audio/conform_command.h"

#include <optional>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "audio/conform.h"

namespace qbank::gui {

void conform_command(TForm1& form) {
  const std::optional<QString> folder =
      form.dialog_boxes().choose_folder(QStringLiteral("Select Folder For Conformed WAV Files..."),
                                        QStringLiteral("Start Conform..."));
  if (!folder || folder->isEmpty()) return;
  conform_options options;
  options.into = native_path_of(*folder);
  conform_bank(form.main_bank(), options, form.host());
}

}  // namespace qbank::gui
