// A TNC's host name looked up on a thread of its own, so that the event loop goes on (a stop
// signal is heard) while a name server is slow. A lookup given up, or still running when the
// program ends, is simply left to finish: nothing waits for it and nothing of it is lost track
// of.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <string>

class QSocketNotifier;

namespace quilmar {

class HostLookup : public QObject {
  Q_OBJECT

 public:
  explicit HostLookup(const QString& host, QObject* parent = nullptr);
  ~HostLookup() override;

 signals:
  // The host's addresses, or none and the reason.
  void Finished(const QList<QHostAddress>& addresses, const QString& error);

 private:
  struct Shared;
  static void LookUp(const std::shared_ptr<Shared>& shared, const std::string& host);
  void OnAnswered();

  std::shared_ptr<Shared> shared;
  QSocketNotifier* notifier = nullptr;
};

}  // namespace quilmar
