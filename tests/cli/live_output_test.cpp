// The export command's live mode writing --output row by row, against a KISS-over-TCP TNC of
// the test's own that sends a short pass: an existing FILE is emptied first, so no tail of
// what it held before is left after the new rows.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "run_command.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

namespace fs = std::filesystem;

// Listens on a free port of 127.0.0.1; one connection gets the bytes and is held open until
// the client closes it.
class TncServer {
 public:
  explicit TncServer(testing::Bytes bytes) : bytes(std::move(bytes)) {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port = ntohs(address.sin_port);
    server = std::thread([this] { Serve(); });
  }
  ~TncServer() {
    if (server.joinable()) {
      server.join();
    }
    ::close(listener);
  }

  int port = 0;

 private:
  void Serve() {
    pollfd waiting{listener, POLLIN, 0};
    if (::poll(&waiting, 1, 30000) != 1) {
      return;
    }
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      return;
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) {
        break;
      }
      sent += static_cast<std::size_t>(n);
    }
    char discard[256];
    pollfd closing{client, POLLIN, 0};
    while (::poll(&closing, 1, 30000) == 1 && ::read(client, discard, sizeof discard) > 0) {
    }
    ::close(client);
  }

  testing::Bytes bytes;
  int listener = -1;
  std::thread server;
};

TEST(LiveOutputTest, ExistingOutputIsEmptiedBeforeTheRows) {
  constexpr int kFrames = 3;
  std::vector<testing::Bytes> frames;
  for (int n = 1; n <= kFrames; ++n) {
    frames.push_back(testing::HousekeepingFrame(static_cast<std::uint16_t>(n), 41, 20));
  }
  const testing::Bytes log = testing::KissLog(std::span<const testing::Bytes>(frames));
  const fs::path folder =
      fs::temp_directory_path() / ("quilmar_live_output_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path pass = folder / "pass.kss";
  testing::WriteFile(pass, log);
  const auto expected = testing::RunCommand(QUILMAR_EXPORT_EXE, {pass.string()});
  ASSERT_EQ(expected.exitCode, 0) << expected.err;

  for (const std::string format : {"csv", "json"}) {
    SCOPED_TRACE(format);
    // Far longer than the rows: a tail of it would outlive them.
    const fs::path output = folder / ("rows." + format);
    testing::WriteFile(output, testing::Bytes(200000, '~'));
    TncServer tnc(log);
    ASSERT_GT(tnc.port, 0);
    const auto result = testing::RunCommand(
        QUILMAR_EXPORT_EXE,
        {"--connect", "127.0.0.1:" + std::to_string(tnc.port), "--frames", std::to_string(kFrames),
         "--format", format, "--output", output.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string rows = testing::ReadWholeFile(output);
    EXPECT_EQ(rows.find('~'), std::string::npos) << "the old content's tail was left";
    if (format == "csv") {
      EXPECT_EQ(rows, expected.out);
    } else {
      EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), kFrames);
      EXPECT_TRUE(rows.ends_with("}\n"))
          << rows.substr(rows.size() - std::min<std::size_t>(rows.size(), 80));
    }
  }
  fs::remove_all(folder);
}

// The recording is the source of truth of a live session: when its last sync fails (a disk that
// drops the writes), the command says so and ends with status 1 instead of reporting success.
TEST(LiveOutputTest, RecordingThatCannotBeSyncedIsReported) {
  std::vector<testing::Bytes> frames;
  for (int n = 1; n <= 3; ++n) {
    frames.push_back(testing::HousekeepingFrame(static_cast<std::uint16_t>(n), 41, 20));
  }
  const testing::Bytes log = testing::KissLog(std::span<const testing::Bytes>(frames));
  const fs::path folder =
      fs::temp_directory_path() / ("quilmar_live_sync_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path recording = folder / "pass.kss";
  testing::WriteFile(recording, {});
  TncServer tnc(log);
  ASSERT_GT(tnc.port, 0);
  ::setenv("QUILMAR_FAIL_SYNC_OF", recording.c_str(), 1);
  ::setenv("LD_PRELOAD", QUILMAR_FAILING_SYNC, 1);
  ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
  const auto result = testing::RunCommand(
      QUILMAR_EXPORT_EXE, {"--connect", "127.0.0.1:" + std::to_string(tnc.port), "--frames", "3",
                           "--record", recording.string(), "--output", (folder / "rows.csv").string()});
  ::unsetenv("LD_PRELOAD");
  ::unsetenv("QUILMAR_FAIL_SYNC_OF");
  ::unsetenv("ASAN_OPTIONS");
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_NE(result.err.find(recording.filename().string()), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Input/output error"), std::string::npos) << result.err;
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quilmar
