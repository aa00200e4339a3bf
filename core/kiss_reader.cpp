// KISS log reading: a file's bytes through the same de-framer and frame store as a live
// connection's; see kiss_reader.h.
#include "kiss_reader.h"

#include <vector>

#include "frame_store.h"
#include "kiss_deframer.h"

namespace quilmar {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// One load: the de-framer fed from the source's 64 KiB chunks, each accepted frame appended
// to the table. Progress is reported after every stored frame and after every chunk.
class LogLoad {
 public:
  LogLoad(FrameTable& table, const ReadHooks& hooks)
      : table(table),
        store(table),
        hooks(hooks),
        deframer([this](const FrameBuffer& frame) { return Keep(frame); }) {}

  LoadSummary Run(ByteSource& source) {
    std::vector<std::uint8_t> chunk(kReadChunk);
    for (std::size_t count = source.Read(chunk); count > 0 && !cancelled;
         count = source.Read(chunk)) {
      deframer.Feed({chunk.data(), count});
      if (!cancelled) {
        Progress();
      }
    }
    LoadSummary summary;
    summary.framesStored = table.frameCount;
    summary.framesSkipped = store.FramesSkipped() + deframer.FramesCounted();
    summary.framesRejected = deframer.FramesRejected();
    // A cancelled load stopped by choice; only a log that ends inside a frame lost one.
    summary.endedInsideFrame = !cancelled && deframer.InsideFrame();
    summary.cancelled = cancelled;
    summary.bytesRead = deframer.BytesFed();
    summary.missingFrames = store.TakeMissing();
    summary.error = source.Error();
    return summary;
  }

 private:
  bool Keep(const FrameBuffer& frame) {
    const int index = store.Append(frame);
    if (index > 0 && hooks.afterStoredFrame) {
      hooks.afterStoredFrame(index, table.Record(index));
    }
    // A full table only counts: a long log's later frames are skipped to their FEND rather
    // than de-escaped for nothing.
    if (store.Full()) {
      deframer.CountOnly();
    }
    return Progress();
  }

  bool Progress() {
    if (hooks.onProgress && !hooks.onProgress(deframer.BytesFed())) {
      cancelled = true;
    }
    return !cancelled;
  }

  FrameTable& table;
  FrameStore store;
  const ReadHooks& hooks;
  KissDeframer deframer;
  bool cancelled = false;
};

}  // namespace

LoadSummary ReadKissLog(ByteSource& source, FrameTable& table, const ReadHooks& hooks) {
  LogLoad load(table, hooks);
  return load.Run(source);
}

LoadSummary ReadKissLog(const std::string& path, FrameTable& table, const ReadHooks& hooks) {
  const std::unique_ptr<ByteSource> source = OpenFileSource(path);
  return ReadKissLog(*source, table, hooks);
}

}  // namespace quilmar
