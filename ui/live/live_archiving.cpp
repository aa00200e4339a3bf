// A live session's frames into the archive; see live_archiving.h.
#include "live_archiving.h"

#include <QLocale>
#include <mutex>

#include "archive_password.h"
#include "user_settings.h"

namespace quilmar {
namespace {

QString Count(std::int64_t n) { return QLocale().toString(static_cast<qlonglong>(n)); }

}  // namespace

QString ArchiveTextIn(const QSettings& store) {
  const QString chosen = store.value(QLatin1String(kArchiveLocationKey)).toString();
  return chosen.isEmpty() ? DefaultArchiveText() : RememberedArchiveText(chosen);
}

// The feeds report from their own threads, and an ended feed may outlive the session, so
// their news crosses to the window's thread through this object, which forgets its target
// when the target goes. Posting under the lock means the target cannot go in between; news
// posted but not yet delivered is discarded with the target.
struct LiveArchiving::Relay {
  std::mutex mutex;
  LiveArchiving* target = nullptr;

  template <typename Call>
  void Post(Call call) {
    const std::lock_guard lock(mutex);
    if (target != nullptr) {
      LiveArchiving* to = target;
      QMetaObject::invokeMethod(
          to, [to, call] { call(*to); }, Qt::QueuedConnection);
    }
  }
};

LiveArchiving::LiveArchiving(QObject* parent) : QObject(parent), relay(std::make_shared<Relay>()) {
  relay->target = this;
}

LiveArchiving::~LiveArchiving() {
  {
    const std::lock_guard lock(relay->mutex);
    relay->target = nullptr;
  }
  Finish();
  for (auto& [number, closer] : closers) {
    closer.join();
  }
}

void LiveArchiving::Start(const ArchiveLocation& location, const QString& station,
                          const QString& source) {
  Finish();
  ++session;
  shown = true;
  outcome.reset();
  // The feed's own lines say what the status line shows; they only ask for it to be redrawn.
  feed =
      std::make_unique<LiveArchiveFeed>(location, station, source, [relay = relay](const QString&) {
        relay->Post([](LiveArchiving& self) { emit self.statusChanged(); });
      });
}

void LiveArchiving::Add(const FrameBuffer& frame, const QDateTime& arrival) {
  if (feed) {
    feed->Add(frame, arrival);
  }
}

// The feed's last attempt may wait for a server that does not answer or a database locked by
// another program; that happens in a thread of its own while the window goes on.
void LiveArchiving::Finish() {
  if (!feed) {
    return;
  }
  const int closed = session;
  atFinish = feed->Now();
  closers.emplace(
      closed, std::thread([relay = relay, closed, ending = std::move(feed)] {
        ending->Finish();
        const LiveArchiveFeed::Progress last = ending->Now();
        relay->Post([closed, last](LiveArchiving& self) { self.Finished(closed, last); });
      }));
}

void LiveArchiving::Forget() {
  Finish();
  ++session;
  shown = false;
  outcome.reset();
}

void LiveArchiving::Finished(int closed, const LiveArchiveFeed::Progress& last) {
  // The thread has nothing left to do but return.
  if (const auto closer = closers.find(closed); closer != closers.end()) {
    closer->second.join();
    closers.erase(closer);
  }
  if (closed == session) {
    outcome = last;
    emit statusChanged();
  }
}

// The counts first, then the reason, which may be long: a status bar too narrow for all of it
// still shows how many frames wait.
QString LiveArchiving::StatusText() const {
  if (!shown) {
    return {};
  }
  const bool ending = !feed && !outcome;
  const LiveArchiveFeed::Progress now = feed ? feed->Now() : outcome.value_or(atFinish);
  const QString waiting = Count(static_cast<std::int64_t>(now.waiting));
  const bool away = !now.unreachable.isEmpty() && now.waiting > 0;
  QString text = QStringLiteral("Archive: %1 frames added").arg(Count(now.written));
  if (feed && away) {
    text = QStringLiteral("Archive unreachable, %1 frames waiting").arg(waiting);
  } else if (feed && now.waiting > 0) {
    // Written in moments, unless the database is slow or locked by another program.
    text += QStringLiteral(", %1 waiting").arg(waiting);
  } else if (ending && now.waiting > 0) {
    text += QStringLiteral(", writing %1 more").arg(waiting);
  } else if (outcome && now.waiting > 0) {
    text += QStringLiteral(", %1 not added").arg(waiting);
  }
  if (now.dropped > 0) {
    text += QStringLiteral(", %1 not added as too many waited").arg(Count(now.dropped));
  }
  if (away && !ending) {
    text += QStringLiteral(": ") + now.unreachable;
  }
  if (outcome && (now.waiting > 0 || now.dropped > 0)) {
    text += QStringLiteral("; Archive > Add Logs... of the recording adds them");
  }
  return text;
}

}  // namespace quilmar
