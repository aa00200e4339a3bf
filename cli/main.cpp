// quilmar-hk-export: writes the frames a KISS capture log holds as CSV or JSON, or a summary.
#include <csignal>
#include <string_view>
#include <vector>

#include "export_command.h"

int main(int argc, char** argv) {
  // Under a file-size limit (ulimit -f) a write that goes too far then fails with EFBIG
  // instead of killing the process, so the partly written temporary file is removed.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  return quilmar::RunExportCommand(arguments);
}
