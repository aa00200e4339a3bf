// The writer thread between live reception and a reader who may stop reading, driven
// directly: a pipe nobody reads holds the writer in write(), so what the queue takes, drops
// and gives up can be counted exactly; and a descriptor whose close() fails.
#include "cli/queued_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "cli/fd_stream_buffer.h"

namespace quilmar {
namespace {

using std::chrono::milliseconds;

// More than any pipe buffer holds: the writer takes it and stays in write() until read.
constexpr std::size_t kBlockerBytes = 1 << 20;

// A pipe whose reader reads only when asked to, so the writer's progress is in the test's
// hands.
class StalledReader : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0); }
  void TearDown() override {
    ::close(ends[0]);
    ::close(ends[1]);
  }

  // Waits until the writer has taken the blocker from the queue: its first bytes arrived.
  bool WriterHoldsBlocker() {
    pollfd readable{ends[0], POLLIN, 0};
    return ::poll(&readable, 1, 5000) == 1;
  }

  // Reads everything the writer still has to write, so that its thread ends.
  void Drain(std::size_t bytes) {
    std::string buffer(1 << 16, '\0');
    while (bytes > 0) {
      const ssize_t got = ::read(ends[0], buffer.data(), buffer.size());
      ASSERT_GT(got, 0);
      bytes -= static_cast<std::size_t>(got);
    }
  }

  int ends[2] = {-1, -1};
};

// The bound counts the text being queued: a push that would pass it is dropped, one that
// fills the queue exactly is taken.
TEST_F(StalledReader, QueueBoundCountsTheTextBeingAdded) {
  constexpr std::size_t kCapacity = kBlockerBytes;
  QueuedOutput output(ends[1], false, kCapacity);
  ASSERT_TRUE(output.Push(std::string(kBlockerBytes, 'b')));
  ASSERT_TRUE(WriterHoldsBlocker());
  const struct {
    std::size_t bytes;
    bool taken;
  } pushes[] = {
      {kCapacity - 100, true},
      {101, false},  // one byte over: dropped, though the queue is not full yet
      {100, true},   // exactly full
      {1, false},
  };
  for (const auto& push : pushes) {
    SCOPED_TRACE(push.bytes);
    EXPECT_EQ(output.Push(std::string(push.bytes, 'r')), push.taken);
  }
  // The blocker held by the writer and the two queued texts are given up.
  EXPECT_EQ(output.Close(milliseconds(50)), 3u);
  Drain(kBlockerBytes);
}

// A text the writer holds, stuck on a reader that does not read, is given up as surely as the
// texts behind it and is counted with them.
TEST_F(StalledReader, CloseCountsTheTextAStalledWriterHolds) {
  QueuedOutput output(ends[1], false, 2 * kBlockerBytes);
  ASSERT_TRUE(output.Push(std::string(kBlockerBytes, 'b')));
  ASSERT_TRUE(WriterHoldsBlocker());
  ASSERT_TRUE(output.Push("a row\n"));
  EXPECT_FALSE(output.WaitWritten(milliseconds(20)));
  EXPECT_EQ(output.Close(milliseconds(50)), 2u);
  EXPECT_TRUE(output.Error().empty()) << output.Error();
  Drain(kBlockerBytes);
}

// Once the reader reads again, everything queued arrives in order and nothing is given up.
TEST_F(StalledReader, EverythingQueuedArrivesOnceTheReaderReads) {
  QueuedOutput output(ends[1], false, 2 * kBlockerBytes);
  ASSERT_TRUE(output.Push(std::string(kBlockerBytes, 'b')));
  ASSERT_TRUE(output.Push("tail\n"));
  Drain(kBlockerBytes);
  char tail[5];
  ASSERT_EQ(::read(ends[0], tail, sizeof tail), 5);
  EXPECT_EQ(std::string(tail, 5), "tail\n");
  EXPECT_TRUE(output.WaitWritten(milliseconds(5000)));
  EXPECT_EQ(output.Close(milliseconds(50)), 0u);
}

// A descriptor number that is surely not open: close() on it fails with EBADF, as a delayed
// write error (NFS, a quota) would make it fail.
int ClosedDescriptor() {
  const int fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 900);
  ::close(fd);
  return fd;
}

// close() can be the first to say the bytes did not reach the file; both writers of the
// export command report it.
TEST(OutputClose, FailedCloseOfAnOwnedDescriptorIsReported) {
  {
    QueuedOutput output(ClosedDescriptor(), true, 1024);
    EXPECT_EQ(output.Close(milliseconds(1000)), 0u);
    EXPECT_FALSE(output.Error().empty());
  }
  FdStreamBuffer buffer(ClosedDescriptor(), true);
  EXPECT_FALSE(buffer.Close());
  EXPECT_FALSE(buffer.Error().empty());
}

}  // namespace
}  // namespace quilmar
