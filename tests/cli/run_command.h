// Runs a program of the build in a child process, in a chosen directory, and collects its
// exit status, standard output and standard error.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quilmar::testing {

struct CommandResult {
  int exitCode = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// stdout is the file named stdoutPath when given (a device such as /dev/full, say).
inline CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& directory = ".",
                                const std::string& stdoutPath = {}) {
  const auto scratch =
      std::filesystem::temp_directory_path() / ("quilmar_cli_" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  const auto outPath = stdoutPath.empty() ? (scratch / "out").string() : stdoutPath;
  const auto errPath = (scratch / "err").string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);

  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(directory.c_str()) != 0) {
      ::_exit(127);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  CommandResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (stdoutPath.empty()) {
    result.out = ReadWholeFile(outPath);
  }
  result.err = ReadWholeFile(errPath);
  std::filesystem::remove_all(scratch);
  return result;
}

}  // namespace quilmar::testing
