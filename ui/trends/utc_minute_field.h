// The Trends window's From and to fields: a UTC time to the minute ("2026-06-12 16:00") that
// can be stepped section by section, picked from a calendar, or typed whole over the selected
// text.
#pragma once

#include <QDateTimeEdit>
#include <QStringList>

namespace quilmar {

class UtcMinuteField : public QDateTimeEdit {
  Q_OBJECT

 public:
  explicit UtcMinuteField(QWidget* parent = nullptr);

 protected:
  // A date typed over the whole text goes into the sections from the year on, as if each
  // were typed in turn; the plain field takes the text as one section and refuses it. A
  // separator typed after a section that was full and moved on by itself is the one already
  // passed, not a wish to skip the next section.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QStringList separators;  // separators[i]: the text before section i of the format
  bool movedOn = false;    // the last digit filled its section and moved to the next
};

}  // namespace quilmar
