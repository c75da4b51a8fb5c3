// A shared library loaded while the program runs, for optional features whose libraries should
// cost nothing until they are used: every library a program is linked with is mapped, with the
// libraries it needs in turn, before main() starts. Loaded libraries stay for the whole run.
#pragma once

namespace qbank {

class shared_library {
 public:
  // Loads `file_name` (as the system's loader finds it: "libsndfile.so.1"); loaded() tells
  // whether that worked.
  explicit shared_library(const char* file_name);
  bool loaded() const { return handle_ != nullptr; }
  // The address of `name` in the library, nullptr when the library or the name is missing.
  void* symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace qbank
