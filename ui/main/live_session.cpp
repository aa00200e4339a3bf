// The window's live session; see live_session.h.
#include "live_session.h"

#include "live/recorded_stream.h"
#include "live/tnc_connection.h"

namespace quilmar {

LiveSession::LiveSession(FrameTable& table, TncAddress address, QObject* parent)
    : QObject(parent),
      table(table),
      address(std::move(address)),
      deframer([this](const FrameBuffer& frame) {
        const int index = store->Append(frame);
        if (index > 0 && firstNew == 0) {
          firstNew = index;
        }
        received = true;
        return true;
      }) {
  // A zero timer runs once the event loop has handled the reads already waiting, so the
  // window refreshes once per pass whatever the number of frames.
  handOverTimer.setSingleShot(true);
  handOverTimer.setInterval(0);
  connect(&handOverTimer, &QTimer::timeout, this, &LiveSession::HandOver);
  connect(&recording, &KissRecording::SyncFailed, this, &LiveSession::Fail);
}

// The window may be half destroyed by now: the recording is closed without telling anyone.
LiveSession::~LiveSession() {
  blockSignals(true);
  Stop();
}

// A window started in the same second as another one named its recording alike: while the
// name is held by another session, this one records beside it under a free name.
bool LiveSession::OpenRecording(const QString& path) {
  constexpr int kMostNames = 10;
  for (int attempt = 0; !recording.Open(attempt == 0 ? path : FreeRecordingPath(path)); ++attempt) {
    if (!recording.LockedByAnother() || attempt == kMostNames) {
      error = recording.Error();
      return false;
    }
  }
  return true;
}

void LiveSession::Start() {
  if (receiving || !recording.IsOpen()) {
    return;
  }
  store.emplace(table);
  receiving = true;
  connection = new TncConnection(address, this);
  connect(connection, &TncConnection::BytesReceived, this, &LiveSession::Receive);
  connect(connection, &TncConnection::Connected, this, [this] {
    if (!JoinNewConnection(recording, deframer)) {
      Fail(recording.Error());
    }
  });
  connect(connection, &TncConnection::StateChanged, this, [this](const QString& line) {
    // The status line names the TNC once, in front: "connected", "cannot connect: ...".
    state = line;
    state.replace(QStringLiteral(" to ") + address.Text(), QString());
    emit stateChanged();
  });
  state = QStringLiteral("connecting to %1").arg(address.Text());
  connection->Start();
}

std::int64_t LiveSession::FramesReceived() const { return table.frameCount + FramesSkipped(); }

std::int64_t LiveSession::FramesSkipped() const { return store ? store->FramesSkipped() : 0; }

MissingFrames LiveSession::Missing() const { return store ? store->Missing() : MissingFrames(); }

void LiveSession::Receive(const QByteArray& bytes) {
  if (!receiving) {
    return;
  }
  if (!RecordAndFeed(bytes, recording, deframer)) {
    Fail(recording.Error());
    return;
  }
  if (received && !handOverTimer.isActive()) {
    handOverTimer.start();
  }
}

void LiveSession::HandOver() {
  handOverTimer.stop();
  if (!received) {
    return;
  }
  const int first = firstNew > 0 ? firstNew : table.frameCount + 1;
  firstNew = 0;
  received = false;
  emit framesArrived(first, table.frameCount);
  emit stateChanged();
}

bool LiveSession::Stop() {
  if (!receiving) {
    return error.isEmpty();
  }
  receiving = false;
  connection->Stop();
  HandOver();
  if (!recording.Close()) {
    error = recording.Error();
  }
  state = error.isEmpty() ? QStringLiteral("disconnected") : QStringLiteral("stopped: ") + error;
  emit stateChanged();
  return error.isEmpty();
}

// Reception stops rather than going on unrecorded.
void LiveSession::Fail(const QString& why) {
  if (!receiving) {
    return;
  }
  error = why;
  Stop();
  emit failed();
}

}  // namespace quilmar
