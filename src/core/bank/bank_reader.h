// Reads a first-generation bank file of version 1 to 6, whole or split into part files, back
// into a bank: records, slot tables and, from the path-name area, the file lists.
#pragma once

#include <filesystem>

namespace qbank {

class bank;
class host;

// The main variant loads into the main bank (from the main window or `qbank`); the manager
// variant into the bank manager's second bank. They differ in messages and in how they find
// and read the path-name area.
enum class reader_variant { main, manager };

// Reads `path` into `b`, which the caller has reset. Reports through `h` with the messages of
// the reader; returns true when the whole file was read (the main variant's "Bank loading OK!").
bool read_bank_file(bank& b, const std::filesystem::path& path, reader_variant variant, host& h);

// The main window's open command: reset, read_bank_file (main variant), remember the path as
// the loaded file name whatever the outcome.
bool open_bank_file(bank& b, const std::filesystem::path& path, host& h);

}  // namespace qbank
