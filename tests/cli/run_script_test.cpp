// ./run builds the programs the README tells the reader to run, so that each is there after
// the one set-up command.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "run_command.h"

namespace quilmar {
namespace {

namespace fs = std::filesystem;

TEST(RunScriptTest, BuildsEveryProgramTheReadmeNames) {
  const fs::path source = QUILMAR_SOURCE_DIR;
  const std::string readme = testing::ReadWholeFile(source / "README.md");
  const std::string run = testing::ReadWholeFile(source / "run");
  ASSERT_FALSE(readme.empty());
  // The targets after --target, over continued lines.
  const std::regex buildLine(R"(--target((?:[ \t]+(?:\\\n[ \t]*)?[A-Za-z0-9_-]+)+))");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(run, match, buildLine)) << "no cmake --build --target in run";
  std::set<std::string> built;
  const std::string targets = match[1];
  const std::regex word(R"([A-Za-z0-9_-]+)");
  for (auto it = std::sregex_iterator(targets.begin(), targets.end(), word);
       it != std::sregex_iterator(); ++it) {
    built.insert(it->str());
  }
  // The programs of this project the README names: quilmar-hk and its commands, the log
  // generators and the Trends preview.
  const std::regex program(R"(\b(quilmar-hk(?:-[a-z]+)?|make-[a-z]+-log|trends-preview)\b)");
  std::set<std::string> named;
  for (auto it = std::sregex_iterator(readme.begin(), readme.end(), program);
       it != std::sregex_iterator(); ++it) {
    named.insert(it->str(1));
  }
  // The web server's systemd unit and its settings file, which run quilmar-hk-archive serve.
  named.erase("quilmar-hk-serve");
  EXPECT_GE(named.size(), 6u);
  for (const std::string& name : named) {
    EXPECT_TRUE(built.count(name)) << "./run does not build " << name;
  }
}

}  // namespace
}  // namespace quilmar
