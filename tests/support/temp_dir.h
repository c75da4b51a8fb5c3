// A fresh folder for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace qbank::testing {

class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// True when a file cannot be created in `folder`. Root on POSIX and everyone on Windows (where a
// read-only folder still takes new files) can write into a folder whose permissions say no.
bool folder_refuses_writes(const std::filesystem::path& folder);

// The whole content of a file as text (bytes as they are).
std::string file_text(const std::filesystem::path& path);

}  // namespace qbank::testing
