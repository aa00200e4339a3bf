// The digests that key frames and files: the known answers for short inputs, and a stream
// longer than one read of the file digest equal to the digest of its bytes at once.
#include "archive/sha256.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCryptographicHash>

namespace quilmar {
namespace {

TEST(Sha256, DigestsOfBytesAndStreamsAreTheStandardOnes) {
  QByteArray manyReads(5 << 19, Qt::Uninitialized);  // two and a half reads
  for (qsizetype i = 0; i < manyReads.size(); ++i) {
    manyReads[i] = static_cast<char>(i * 7 + (i >> 11));
  }
  const struct {
    const char* name;
    QByteArray data;
    QByteArray digest;
  } cases[] = {
      {"empty", {}, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"long", manyReads, QCryptographicHash::hash(manyReads, QCryptographicHash::Sha256).toHex()},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(Sha256(test.data).toHex(), test.digest);
    QBuffer stream;
    stream.setData(test.data);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    const std::optional<QByteArray> streamed = Sha256Of(stream);
    ASSERT_TRUE(streamed.has_value());
    EXPECT_EQ(streamed->toHex(), test.digest);
  }
}

}  // namespace
}  // namespace quilmar
