// The Trends window's From and to fields; see utc_minute_field.h.
#include "utc_minute_field.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace quilmar {
namespace {

constexpr char kFormat[] = "yyyy-MM-dd HH:mm";

// The text before each section of a format: "", "-", "-", " ", ":" for kFormat.
QStringList SeparatorsOf(const QString& format) {
  QStringList separators{QString()};
  for (qsizetype i = 0; i < format.size(); ++i) {
    if (!format[i].isLetter()) {
      separators.back() += format[i];
    } else if (i + 1 < format.size() && format[i + 1] != format[i] && !format[i + 1].isLetter()) {
      separators.append(QString());
    }
  }
  return separators;
}

}  // namespace

UtcMinuteField::UtcMinuteField(QWidget* parent)
    : QDateTimeEdit(parent), separators(SeparatorsOf(QString::fromLatin1(kFormat))) {
  setTimeSpec(Qt::UTC);
  setDisplayFormat(QString::fromLatin1(kFormat));
  setCalendarPopup(true);
}

void UtcMinuteField::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  const int section = currentSectionIndex();
  if (movedOn && section >= 0 && section < separators.size() && typed == separators[section]) {
    movedOn = false;
    event->accept();
    return;
  }
  const bool digit = typed.size() == 1 && typed.front().isDigit();
  const QLineEdit* edit = lineEdit();
  if (digit && !edit->text().isEmpty() && edit->selectedText() == edit->text()) {
    setSelectedSection(sectionAt(0));
  }
  const int before = currentSectionIndex();
  QDateTimeEdit::keyPressEvent(event);
  movedOn = digit && currentSectionIndex() == before + 1;
}

}  // namespace quilmar
