// quilmar-hk-export: writes the frames a KISS capture log holds as CSV or JSON, or a summary.
#include <string_view>
#include <vector>

#include "export_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  return quilmar::RunExportCommand(arguments);
}
