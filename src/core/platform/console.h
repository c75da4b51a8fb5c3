// The program's own arguments and standard streams, the same on every system: arguments as UTF-8,
// output as UTF-8 bytes with LF line ends, whether it goes to a console, a pipe or a file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qbank {

// Call first in main(). On Windows: the console shows UTF-8, standard output and error are in
// binary mode (no LF -> CR LF), and a console understands the escape codes of the progress bar.
// Nothing to do elsewhere.
void console_setup();

// The command line as UTF-8, the program name first. On Windows it is read from the wide command
// line (argv holds it in the ANSI code page, with every other character lost); elsewhere argv.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// True when `stream` is a terminal (a console window on Windows).
bool is_terminal(std::FILE* stream);

}  // namespace qbank
