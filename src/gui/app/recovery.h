// The recovery script: the main bank with changes not yet saved, written now and then to the
// user's data folder, so that a crash or a kill loses at most the last few minutes of work.
// A clean save or exit removes it; the next start after a crash offers it back.
#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string>

namespace qbank {
class bank;
}

namespace qbank::gui {

class recovery_file {
 public:
  // The folder: the user's data folder of the application (QStandardPaths::AppDataLocation).
  recovery_file();

  // Writes `b` as a script (atomically) with its loaded file name beside it. Throws file_error.
  void write(const bank& b) const;
  // Removes both files; nothing happens when there are none.
  void remove() const;
  // When a recovery script is there: the time it was written, as the user reads it.
  std::optional<QString> written_at() const;
  // Reads the recovery script into `b` (replacing it only when it loads whole) and gives back
  // the loaded file name it was saved with. Throws as a script load does.
  void read(bank& b) const;

  const std::filesystem::path& script() const { return script_; }

 private:
  std::filesystem::path script_;
  std::filesystem::path name_;
};

// Milliseconds between writes of the recovery script while there are unsaved changes: two
// minutes, or QBANK_RECOVERY_INTERVAL_MS when set (tests shorten it).
int recovery_interval_ms();

}  // namespace qbank::gui
