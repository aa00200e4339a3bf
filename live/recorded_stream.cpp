// Received bytes into the recording and the de-framer; see recorded_stream.h.
#include "recorded_stream.h"

#include <cstdint>
#include <span>

namespace quilmar {

bool RecordAndFeed(const QByteArray& bytes, KissRecording& recording, KissDeframer& deframer) {
  if (recording.IsOpen() && !recording.Append(bytes)) {
    return false;
  }
  deframer.Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size())));
  return true;
}

bool JoinNewConnection(KissRecording& recording, KissDeframer& deframer) {
  return !deframer.FrameOpen() || RecordAndFeed(QByteArray(1, kKissFend), recording, deframer);
}

}  // namespace quilmar
