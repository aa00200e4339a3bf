// The window's live session; see live_session.h.
#include "live_session.h"

#include <QFileInfo>
#include <algorithm>

#include "live/recorded_stream.h"
#include "live/tnc_connection.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {
namespace {

constexpr std::int64_t kMinuteMs = 60'000;
// While the TNC has been away less than a minute (a restarted Direwolf, a replugged cable),
// retries come at least this often so the pass goes on with little loss.
constexpr int kQuickRetrySeconds = 5;

}  // namespace

LiveSession::LiveSession(FrameTableModel& model, TncAddress address, QObject* parent)
    : QObject(parent),
      model(model),
      address(std::move(address)),
      deframer([this](const FrameBuffer& frame) {
        PrepareForFrame();
        const int index = store->Append(frame);
        if (index > 0 && firstNew == 0) {
          firstNew = index;
        }
        if (frameTap) {
          frameTap(frame);
        }
        ++framesReceived;
        sinceFrame.start();
        lastMinute.push_back(sessionClock.elapsed());
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

// The window may be half destroyed by now, its table model included: the recording is closed
// without telling anyone, and frames not yet handed over stay unannounced.
LiveSession::~LiveSession() {
  blockSignals(true);
  received = false;
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
  model.Clear(QFileInfo(recording.Path()).absoluteFilePath(), TableOrigin::kPass);
  store.emplace(model.TableToFill());
  sessionClock.start();
  withoutTnc.start();
  receiving = true;
  connection = new TncConnection(address, this);
  connection->SetRetryCap(kQuickRetrySeconds);
  connect(connection, &TncConnection::BytesReceived, this, &LiveSession::Receive);
  connect(connection, &TncConnection::Connected, this, [this] {
    withoutTnc.invalidate();
    if (!JoinNewConnection(recording, deframer)) {
      Fail(recording.Error());
    }
  });
  connect(connection, &TncConnection::StateChanged, this, &LiveSession::StateLine);
  state = QStringLiteral("connecting to %1").arg(address.Text());
  connection->Start();
}

void LiveSession::StateLine(const QString& line) {
  // The status line names the TNC once, in front: "connected", "cannot connect: ...".
  state = line;
  state.replace(QStringLiteral(" to ") + address.Text(), QString());
  if (!connection->IsConnected() && !withoutTnc.isValid()) {
    withoutTnc.start();
  }
  // The quick retries of the first minute; then the growing pause spares a TNC that is gone.
  const bool quick = withoutTnc.isValid() && withoutTnc.elapsed() < kMinuteMs;
  connection->SetRetryCap(quick ? kQuickRetrySeconds : 0);
  emit stateChanged();
}

std::int64_t LiveSession::FramesSkipped() const { return store ? store->FramesSkipped() : 0; }

std::optional<std::int64_t> LiveSession::SinceLastFrame() const {
  if (!sinceFrame.isValid()) {
    return std::nullopt;
  }
  return sinceFrame.elapsed();
}

int LiveSession::FramesPerMinute() const {
  const std::int64_t now = sessionClock.isValid() ? sessionClock.elapsed() : 0;
  const auto recent = std::find_if(lastMinute.begin(), lastMinute.end(),
                                   [now](std::int64_t at) { return now - at < kMinuteMs; });
  return static_cast<int>(lastMinute.end() - recent);
}

bool LiveSession::IsWaitingToRetry() const {
  return receiving && connection != nullptr && connection->IsWaitingToRetry();
}

void LiveSession::RetryNow() {
  if (IsWaitingToRetry()) {
    connection->RetryNow();
  }
}

// A frame after a long silence begins the next pass: its own table, as opening the next
// pass's log would. A pass that fills the table makes room by dropping its oldest frames.
void LiveSession::PrepareForFrame() {
  while (!lastMinute.empty() && sessionClock.elapsed() - lastMinute.front() >= kMinuteMs) {
    lastMinute.pop_front();
  }
  const bool newPass = sinceFrame.isValid() && sinceFrame.elapsed() >= passGap.count();
  const bool full = model.RowCount() >= kFrameTableCapacity;
  if (!newPass && !full) {
    return;
  }
  // The frames waiting are announced first, under the indexes they were stored at.
  HandOver();
  if (newPass) {
    model.Clear(model.Source(), TableOrigin::kPass);
    store.emplace(model.TableToFill());
  } else {
    model.DropOldest(kFramesDroppedAtOnce);
    framesDropped += kFramesDroppedAtOnce;
  }
}

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
  const int first = firstNew > 0 ? firstNew : model.RowCount() + 1;
  firstNew = 0;
  received = false;
  model.Appended(first, model.RowCount());
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
