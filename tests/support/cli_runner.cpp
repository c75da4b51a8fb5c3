#include "support/cli_runner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/paths.h"
#include "support/recording_host.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qbank::testing {
namespace {

std::vector<std::string> split_words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\'') {
      const std::size_t end = line.find('\'', i + 1);
      word += line.substr(i + 1, end - i - 1);
      i = end == std::string::npos ? line.size() : end;
    } else if (c == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\'))
          ++i;
        word += line[i];
      }
    } else {
      word += c;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

#ifdef _WIN32

std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
void append_quoted(std::wstring& line, const std::wstring& arg) {
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

run_result run(const std::filesystem::path& program, const std::vector<std::string>& args,
               bool with_stderr, const environment& env) {
  run_result r;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &inherit, 0)) return r;
  ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  const HANDLE nul =
      ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
  std::wstring line;
  append_quoted(line, program.wstring());
  for (const std::string& a : args) {
    line += L' ';
    append_quoted(line, widen(a));
  }
  std::vector<std::pair<std::wstring, std::wstring>> saved;
  for (const auto& [name, value] : env) {
    const std::wstring wname = widen(name);
    wchar_t old[32767];
    const DWORD n = ::GetEnvironmentVariableW(wname.c_str(), old, 32767);
    saved.emplace_back(wname, n > 0 ? std::wstring(old, n) : std::wstring(L"\x1"));
    ::SetEnvironmentVariableW(wname.c_str(), widen(value).c_str());
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nul;
  si.hStdOutput = write_end;
  si.hStdError = with_stderr ? write_end : nul;
  PROCESS_INFORMATION pi{};
  // Under Wine a start now and then fails for no reason of ours; a second try succeeds.
  BOOL started = FALSE;
  DWORD start_error = 0;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) ::Sleep(200);
    started = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    if (!started) start_error = ::GetLastError();
  }
  if (!started) r.out = "could not start the program: error " + std::to_string(start_error) + "\n";
  for (const auto& [name, value] : saved)
    ::SetEnvironmentVariableW(name.c_str(), value == L"\x1" ? nullptr : value.c_str());
  ::CloseHandle(write_end);
  ::CloseHandle(nul);
  if (started) {
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0)
      r.out.append(buffer, n);
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(pi.hProcess, &code)) r.exit_code = static_cast<int>(code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
  }
  ::CloseHandle(read_end);
  return r;
}

std::filesystem::path own_folder() {
  wchar_t name[32768];
  const DWORD n = ::GetModuleFileNameW(nullptr, name, 32768);
  return std::filesystem::path(std::wstring(name, n)).parent_path();
}

#else

run_result run(const std::filesystem::path& program, const std::vector<std::string>& args,
               bool with_stderr, const environment& env) {
  run_result r;
  int fds[2];
  if (::pipe(fds) != 0) return r;
  std::vector<std::string> argv_text{path_to_utf8(program)};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int nul = ::open("/dev/null", O_RDWR);
    ::dup2(nul, 0);
    ::dup2(fds[1], 1);
    ::dup2(with_stderr ? fds[1] : nul, 2);
    ::close(fds[0]);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return r;
  }
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    r.out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

#endif

}  // namespace

run_result run_program(const std::filesystem::path& program, const std::vector<std::string>& args,
                       bool with_stderr, const environment& env) {
  return run(program, args, with_stderr, env);
}

std::filesystem::path qbank_program() {
  const std::filesystem::path built = path_from_utf8(QBANK_CLI_PATH);
#ifdef _WIN32
  // Built beside the tests; the build folder's own path means nothing to Windows under Wine.
  if (built.is_relative()) return own_folder() / built;
#endif
  return built;
}

run_result run_qbank_argv(const std::vector<std::string>& args, bool with_stderr,
                          const environment& env) {
  return run_program(qbank_program(), args, with_stderr, env);
}

run_result run_qbank(const std::string& command_line, bool with_stderr, const std::string& env) {
  environment vars;
  for (const std::string& word : split_words(env)) {
    const std::size_t eq = word.find('=');
    if (eq != std::string::npos) vars.emplace_back(word.substr(0, eq), word.substr(eq + 1));
  }
  // Standard input is always empty: "</dev/null" says so and is dropped.
  std::vector<std::string> args;
  for (std::string& word : split_words(command_line))
    if (!word.starts_with('<')) args.push_back(std::move(word));
  return run_qbank_argv(args, with_stderr, vars);
}

std::string q(const std::filesystem::path& p) {
  std::string out = "'";
  for (char c : path_to_utf8(p)) {
    if (c == '\'')
      out += "'\"'\"'";
    else
      out += c;
  }
  return out + "'";
}

std::unique_ptr<bank> read_script(const std::filesystem::path& path) {
  auto b = std::make_unique<bank>();
  recording_host h;
  load_script(*b, path, 6, h);
  return b;
}

}  // namespace qbank::testing
