#include "app/settings.h"

#include <QDir>
#include <QStringList>
#include <algorithm>

#include "platform/paths.h"

namespace qbank::gui {

namespace {

constexpr const char* recent_paths_key = "recent/paths";
constexpr const char* recent_versions_key = "recent/versions";

QString folder_key(const QString& kind) {
  return QStringLiteral("folders/") + (kind.isEmpty() ? QStringLiteral("any") : kind);
}

void write_recent_files(const std::vector<recent_file>& files) {
  QStringList paths;
  QList<QVariant> versions;
  for (const recent_file& file : files) {
    paths << QString::fromStdString(path_to_utf8(file.path));
    versions << file.script_version;
  }
  const auto settings = open_settings();
  settings->setValue(recent_paths_key, paths);
  settings->setValue(recent_versions_key, versions);
}

}  // namespace

std::unique_ptr<QSettings> open_settings() {
  // INI on every system, so the tests can point it at a folder of their own.
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QStringLiteral("qbank"), QStringLiteral("qbank-gui"));
}

QString remembered_folder(const QString& kind) {
  const QString folder = open_settings()->value(folder_key(kind)).toString();
  return !folder.isEmpty() && QDir(folder).exists() ? folder : QString();
}

void remember_folder(const QString& kind, const QString& folder) {
  if (!folder.isEmpty()) open_settings()->setValue(folder_key(kind), folder);
}

std::vector<recent_file> read_recent_files() {
  const auto settings = open_settings();
  const QStringList paths = settings->value(recent_paths_key).toStringList();
  const QList<QVariant> versions = settings->value(recent_versions_key).toList();
  std::vector<recent_file> files;
  for (qsizetype i = 0; i < paths.size() && files.size() < recent_file_limit; ++i) {
    if (paths[i].isEmpty()) continue;
    const int version = i < versions.size() ? versions[i].toInt() : 0;
    files.push_back(
        {path_from_utf8(paths[i].toStdString()), version >= 2 && version <= 6 ? version : 0});
  }
  return files;
}

void add_recent_file(const recent_file& file) {
  std::vector<recent_file> files = read_recent_files();
  std::erase_if(files, [&file](const recent_file& f) { return f.path == file.path; });
  files.insert(files.begin(), file);
  if (files.size() > recent_file_limit) files.resize(recent_file_limit);
  write_recent_files(files);
}

void remove_recent_file(const std::filesystem::path& path) {
  std::vector<recent_file> files = read_recent_files();
  std::erase_if(files, [&path](const recent_file& f) { return f.path == path; });
  write_recent_files(files);
}

void clear_recent_files() {
  write_recent_files({});
}

}  // namespace qbank::gui
