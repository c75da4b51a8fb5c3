#include "app/single_instance.h"

#include <QDir>
#include <QStandardPaths>

#include "app/dialogs.h"

namespace qbank::gui {

std::filesystem::path single_instance_lock::default_folder() {
  const QString overridden = qEnvironmentVariable("QBANK_GUI_LOCK_DIR");
  if (!overridden.isEmpty()) return native_path_of(overridden);
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return native_path_of(folder);
}

}  // namespace qbank::gui
