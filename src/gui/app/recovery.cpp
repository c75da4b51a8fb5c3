#include "app/recovery.h"

#include <QDateTime>
#include <QFileInfo>
#include <QStandardPaths>
#include <vector>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/file_io.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "ui/null_host.h"

namespace qbank::gui {

recovery_file::recovery_file() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  const std::filesystem::path base = path_from_utf8(folder.toStdString());
  script_ = base / "recovery.qbs";
  name_ = base / "recovery-name.txt";
}

void recovery_file::write(const bank& b) const {
  create_folders(script_.parent_path());
  null_host quiet;
  save_script(b, script_, quiet);
  const std::string& name = b.loaded_file_name();
  write_whole_file(name_, name.data(), name.size());
}

void recovery_file::remove() const {
  remove_file(name_);
  remove_file(script_);
}

std::optional<QString> recovery_file::written_at() const {
  const QFileInfo info(QString::fromStdString(path_to_utf8(script_)));
  if (!info.isFile()) return std::nullopt;
  return QLocale().toString(info.lastModified(), QLocale::LongFormat);
}

void recovery_file::read(bank& b) const {
  null_host quiet;
  open_script(b, script_, 6, quiet);
  std::string name(no_loaded_bank);
  if (file_exists(name_)) {
    const std::vector<std::uint8_t> bytes = read_whole_file(name_);
    name.assign(bytes.begin(), bytes.end());
  }
  b.set_loaded_file_name(name);
}

int recovery_interval_ms() {
  bool ok = false;
  const int set = qEnvironmentVariableIntValue("QBANK_RECOVERY_INTERVAL_MS", &ok);
  return ok && set > 0 ? set : 2 * 60 * 1000;
}

}  // namespace qbank::gui
