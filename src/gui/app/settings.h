// What the window remembers from one run to the next: its size and place, the folder last used
// for each kind of file, the player's settings and the recently opened files. Kept with
// QSettings in an INI file of the user's configuration folder (~/.config/qbank/qbank-gui.ini,
// %APPDATA%\qbank\qbank-gui.ini on Windows), whatever the application's name.
#pragma once

#include <QSettings>
#include <QString>
#include <filesystem>
#include <memory>
#include <vector>

namespace qbank::gui {

std::unique_ptr<QSettings> open_settings();

// The folder a file dialog for files of `kind` ("qbs", "wav", "folder") opens in: the one last
// chosen for that kind, empty when none was or it is gone.
QString remembered_folder(const QString& kind);
void remember_folder(const QString& kind, const QString& folder);

// A file the main bank was opened from (or saved to), and how it was opened.
struct recent_file {
  std::filesystem::path path;
  int script_version = 0;  // 2..6: the script layout it was read with; 0: a bank file
};

inline constexpr int recent_file_limit = 8;

// The recent files, most recent first (at most recent_file_limit).
std::vector<recent_file> read_recent_files();
// Puts `file` first (a path already listed moves up), dropping the oldest past the limit.
void add_recent_file(const recent_file& file);
void remove_recent_file(const std::filesystem::path& path);
void clear_recent_files();

}  // namespace qbank::gui
