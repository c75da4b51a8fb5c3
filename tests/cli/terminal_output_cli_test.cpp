// A name read from a file never drives the terminal: on a terminal its control characters are
// shown escaped, while output to a pipe keeps the exact bytes.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qbank::testing {
namespace {

// Runs `qbank` with its standard output and error on a new pseudo-terminal; what it printed.
std::string run_qbank_on_terminal(const std::vector<std::string>& args) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return "(no terminal)";
  const std::string secondary = ::ptsname(master);
  const std::string program = qbank_program().string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::setsid();
    const int fd = ::open(secondary.c_str(), O_RDWR);
    const int none = ::open("/dev/null", O_RDONLY);
    if (fd < 0 || none < 0) ::_exit(127);
    ::dup2(none, 0);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  std::string out;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n > 0) {
      out.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO: the program ended and closed its side
    }
  }
  ::close(master);
  int status = 0;
  ::waitpid(child, &status, 0);
  return out;
}

TEST(TerminalOutput, ControlCharactersOfStoredNamesAreEscapedOnATerminalOnly) {
  temp_dir dir;
  const std::string name = "\x1b]0;owned\x07\x1b[2J\x7f.wav";
  const std::string path = path_to_utf8(dir / path_from_utf8(name));
  bank b;
  b.set_file(0, 5, path);
  recording_host h;
  save_script(b, dir / "m.qbs", h);
  const std::vector<std::string> validate = {"validate", path_to_utf8(dir / "m.qbs")};

  const std::string shown = run_qbank_on_terminal(validate);
  const std::string escaped = path_to_utf8(dir.path()) + "/\\x1b]0;owned\\x07\\x1b[2J\\x7f.wav";
  EXPECT_NE(shown.find("1. Missing file: " + escaped), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\x07'), std::string::npos) << "no byte of the name reaches the terminal";
  EXPECT_EQ(shown.find("\x1b]"), std::string::npos);
  EXPECT_EQ(shown.find('\x7f'), std::string::npos);
  EXPECT_NE(shown.find("Missing 1 WAV files!!!\r\n\r\nShow missing files ?"), std::string::npos)
      << "line breaks stay line breaks";

  const run_result piped = run_qbank_argv(validate);
  EXPECT_NE(piped.out.find("1. Missing file: " + path + "\n"), std::string::npos)
      << "a pipe gets the exact bytes";
}

}  // namespace
}  // namespace qbank::testing
#endif
