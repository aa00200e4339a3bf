// Keeping an archive's password out of the settings file; see archive_password.h.
#include "archive_password.h"

#include <QHash>
#include <QSettings>
#include <QStringList>
#include <mutex>

#include "user_settings.h"

namespace quilmar {
namespace {

struct Remembered {
  std::mutex mutex;
  QHash<QString, QString> texts;  // without password -> as given
};

Remembered& Memory() {
  static Remembered memory;
  return memory;
}

bool IsPostgresqlUri(const QString& text) {
  return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
         text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

}  // namespace

QString WithoutArchivePassword(const QString& text) {
  if (!IsPostgresqlUri(text)) {
    return text;
  }
  // The text is cut, not parsed and written again, so that what the user typed stays as typed.
  const qsizetype authority = text.indexOf(QLatin1String("://")) + 3;
  qsizetype end = authority;
  while (end < text.size() && text[end] != u'/' && text[end] != u'?' && text[end] != u'#') {
    ++end;
  }
  QString result = text;
  const qsizetype at = text.lastIndexOf(u'@', end - 1);
  if (at >= authority) {
    const qsizetype colon = text.indexOf(u':', authority);
    if (colon >= 0 && colon < at) {
      result = text.left(colon) + text.mid(at);
    }
  }
  const qsizetype query = result.indexOf(u'?');
  if (query < 0) {
    return result;
  }
  const qsizetype fragment = result.indexOf(u'#', query);
  const QString tail = fragment < 0 ? QString() : result.mid(fragment);
  QStringList kept;
  for (const QString& pair : result.mid(query + 1, fragment < 0 ? -1 : fragment - query - 1)
                                 .split(u'&', Qt::SkipEmptyParts)) {
    if (!pair.startsWith(QLatin1String("password="), Qt::CaseInsensitive)) {
      kept << pair;
    }
  }
  return result.left(query) + (kept.isEmpty() ? QString() : u'?' + kept.join(u'&')) + tail;
}

QString RememberArchiveText(const QString& text) {
  const QString without = WithoutArchivePassword(text);
  if (without != text) {
    const std::lock_guard lock(Memory().mutex);
    Memory().texts.insert(without, text);
  }
  return without;
}

QString RememberedArchiveText(const QString& withoutPassword) {
  const std::lock_guard lock(Memory().mutex);
  return Memory().texts.value(withoutPassword, withoutPassword);
}

void MovePasswordOutOf(QSettings& store) {
  const QString key = QLatin1String(kArchiveLocationKey);
  const QString stored = store.value(key).toString();
  const QString without = RememberArchiveText(stored);
  if (without != stored) {
    store.setValue(key, without);
    store.sync();
  }
}

}  // namespace quilmar
