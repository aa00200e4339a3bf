// A live session of the window: the KISS bytes a TNC sends, recorded as they arrive and pushed
// through the same de-framer and frame store as a file load, into the window's table model.
// The model announces new frames once per event-loop pass, however many frames one read
// carried, so a burst of thousands costs one refresh rather than thousands. A pass that
// begins after a long silence gets a table of its own, and a pass longer than the table
// drops its oldest frames from it; the recording keeps every frame.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

#include "core/frame_store.h"
#include "core/frame_table.h"
#include "core/kiss_deframer.h"
#include "core/pass_gap.h"
#include "live/kiss_recording.h"
#include "live/tnc_address.h"

namespace quilmar {

class FrameTableModel;
class TncConnection;

// No frame for this long and the next one begins a new pass.
inline constexpr std::chrono::milliseconds kPassGap = std::chrono::seconds(kPassGapSeconds);
// A pass that fills the table makes room for this many frames at a time.
inline constexpr int kFramesDroppedAtOnce = 500;

class LiveSession : public QObject {
  Q_OBJECT
 public:
  LiveSession(FrameTableModel& model, TncAddress address, QObject* parent = nullptr);
  ~LiveSession() override;

  // Creates (or appends to) the recording. False with Error() set when it cannot be opened;
  // nothing else has happened then, the table included.
  bool OpenRecording(const QString& path);
  // Starts a new table and connects to the TNC.
  void Start();
  // Runs for every frame of the spacecraft as it arrives, before the table hears of it.
  using FrameTap = std::function<void(const FrameBuffer& frame)>;
  void SetFrameTap(FrameTap tap) { frameTap = std::move(tap); }
  // The silence after which a frame begins a new pass.
  void SetPassGap(std::chrono::milliseconds gap) { passGap = gap; }
  // Ends reception: the frames of the last read are handed over, the recording synced and
  // closed. False with Error() set when the recording's last sync failed.
  bool Stop();

  bool IsReceiving() const { return receiving; }
  const TncAddress& Address() const { return address; }
  const QString& RecordingPath() const { return recording.Path(); }
  // The last state line of the connection ("connected to ...", "connection lost: ...").
  const QString& State() const { return state; }
  const QString& Error() const { return error; }
  // Frames of the spacecraft received in the whole session, every pass.
  std::int64_t FramesReceived() const { return framesReceived; }
  // Frames of the pass dropped from the table to make room; they are in the recording.
  std::int64_t FramesDropped() const { return framesDropped; }
  std::int64_t FramesSkipped() const;
  std::int64_t FramesRejected() const { return deframer.FramesRejected(); }
  std::int64_t BytesReceived() const { return deframer.BytesFed(); }
  // Milliseconds since the last frame, nothing before the first.
  std::optional<std::int64_t> SinceLastFrame() const;
  // Frames received in the last minute.
  int FramesPerMinute() const;
  // While a retry waits after the TNC was lost or refused: try again at once.
  bool IsWaitingToRetry() const;
  void RetryNow();

 signals:
  // The connection's state or the counts changed.
  void stateChanged();
  // The recording failed and reception stopped; Error() says why.
  void failed();

 private:
  void Receive(const QByteArray& bytes);
  // Room and a table for the frame about to be stored: a new pass, the oldest frames dropped.
  void PrepareForFrame();
  void HandOver();
  void Fail(const QString& why);
  void StateLine(const QString& line);

  FrameTableModel& model;
  TncAddress address;
  TncConnection* connection = nullptr;
  KissRecording recording;
  std::optional<FrameStore> store;  // made by Start, which empties the table
  FrameTap frameTap;
  KissDeframer deframer;
  QTimer handOverTimer;
  int firstNew = 0;  // the first record not yet handed over, 0 when none waits
  std::chrono::milliseconds passGap = kPassGap;
  QElapsedTimer sinceFrame;             // started at each frame
  QElapsedTimer withoutTnc;             // started when the TNC was lost or refused
  std::deque<std::int64_t> lastMinute;  // session milliseconds of the recent frames
  QElapsedTimer sessionClock;
  std::int64_t framesReceived = 0;
  std::int64_t framesDropped = 0;
  bool received = false;
  bool receiving = false;
  QString state;
  QString error;
};

}  // namespace quilmar
