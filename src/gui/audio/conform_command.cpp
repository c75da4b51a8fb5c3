#include "audio/conform_command.h"

#include <optional>

#include "app/dialogs.h"
#include "app/main_form.h"
#include "audio/conform.h"

namespace qbank::gui {

QString conform_unavailable_tooltip(std::string_view why_text) {
  if (why_text.empty()) why_text = conform_unavailable_text;
  const QString why = QString::fromLatin1(why_text.data(), static_cast<int>(why_text.size()));
#if defined(QBANK_HAVE_CONFORM) && defined(_WIN32)
  // Built to load them: the DLLs are not beside the program.
  const char* install =
      "Put 64-bit builds of libsndfile and libsoxr (libsndfile-1.dll or sndfile.dll, and "
      "libsoxr.dll) beside qbank-gui.exe.";
#elif defined(QBANK_HAVE_CONFORM)
  // Built to load them: the libraries are missing on this machine.
  const char* install =
      "Install libsndfile and libsoxr (Debian packages libsndfile1 and libsoxr0).";
#elif defined(_WIN32)
  const char* install =
      "The Windows build is made without them; conform runs in qbank on Linux (Debian packages "
      "libsndfile1 and libsoxr0).";
#else
  const char* install =
      "This build was made without them: install libsndfile1-dev and libsoxr-dev, then build "
      "again.";
#endif
  return why + QLatin1Char(' ') + QString::fromLatin1(install);
}

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
