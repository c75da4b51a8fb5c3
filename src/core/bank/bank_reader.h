// Reads a first-generation bank file of version 1 to 6, whole or split into part files, back
// into a bank: records, slot tables and, from the path-name area, the file lists.
#pragma once

#include <filesystem>

namespace qbank {

class bank;
class host;
class part_opener;

// The main variant loads into the main bank (from the main window or `qbank`); the manager
// variant into the bank manager's second bank. They differ in messages and in how they find
// and read the path-name area.
enum class reader_variant { main, manager };

// True when `path` names a bank file rather than a script: its extension is ".qbb" in any
// case, or its first 511 bytes are the start sector of a bank file.
bool looks_like_bank_file(const std::filesystem::path& path);

// Reads `path` into `b`, which the caller has reset. Reports through `h` with the messages of
// the reader; returns true when the whole file was read (the main variant's "Bank loading OK!").
// `file_version`, when given, receives the version of the file as read: 1 to 6, where 1 is a
// file of code 0xAA without a path-name area; 0 when the start sector was not recognised.
bool read_bank_file(bank& b, const std::filesystem::path& path, reader_variant variant, host& h,
                    int* file_version = nullptr);
// The same from parts that `parts` opens (memory, for instance); messages name its bank path.
bool read_bank_file(bank& b, part_opener& parts, reader_variant variant, host& h,
                    int* file_version = nullptr);

// The open command of the main window (and, with the manager variant, of the bank manager):
// read_bank_file into a fresh bank, which replaces `b`, with the path as its loaded file name,
// only when the whole file was read. Otherwise (false, or file_error for a file that cannot be
// opened) `b` and its loaded file name stay as they were.
bool open_bank_file(bank& b, const std::filesystem::path& path, host& h,
                    int* file_version = nullptr, reader_variant variant = reader_variant::main);

}  // namespace qbank
