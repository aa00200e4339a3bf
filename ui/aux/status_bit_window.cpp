// One status-bit window: follows a value box of the main window once per second and explains
// the eight bits of the status byte it shows; its title names the frame they belong to.
#include "ui/aux/status_bit_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "ui/aux/aux_look.h"
#include "ui/limits/limit_look.h"
#include "ui/look/look.h"
#include "ui/look/twips.h"

namespace quilmar {

namespace {

constexpr int kRefreshMilliseconds = 1000;

}  // namespace

StatusBitWindow::StatusBitWindow(const StatusBitMember& member, QPointer<const QLineEdit> sourceBox,
                                 QPointer<const QLineEdit> modeBox,
                                 QPointer<const QLineEdit> frameBox)
    : kind(member),
      source(std::move(sourceBox)),
      modeSource(std::move(modeBox)),
      frameSource(std::move(frameBox)) {
  const StatusWindowLayout& layout = kind.layout;
  SetUpFixedWindow(this, QString::fromLatin1(kind.formName), QString::fromLatin1(kind.title),
                   layout.clientWidth, layout.clientHeight, kLightGrey);
  setWindowIcon(NoWindowIcon());
  BuildControls();

  timer = new QTimer(this);
  timer->setObjectName(QStringLiteral("Timer1"));
  // A coarse timer may tick up to 5 % early or late; the window must follow within a second.
  timer->setTimerType(Qt::PreciseTimer);
  timer->setInterval(kRefreshMilliseconds);
  connect(timer, &QTimer::timeout, this, &StatusBitWindow::Refresh);
}

void StatusBitWindow::BuildControls() {
  const StatusWindowLayout& layout = kind.layout;
  const TwipBox& heading = layout.heading;
  QLabel* headingLabel =
      AddLabel(this, QStringLiteral("Label1"), QString::fromLatin1(kind.heading), heading.left,
               heading.top, heading.width, heading.height, SansFont(12, true), kLightGrey);
  SetPaletteColour(headingLabel, QPalette::WindowText, kDarkBlue);

  valueField = new QLineEdit(this);
  valueField->setObjectName(QStringLiteral("Text1"));
  valueField->setFont(MonoFont(15.75, true));
  SetPaletteColour(valueField, QPalette::Base, kLightGrey);
  const TwipBox& field = layout.valueField;
  PlaceInTwips(valueField, field.left, field.top, field.width, field.height);

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("Image1"));
  picture->setPixmap(RenderArtwork(QString::fromLatin1(kInfoSymbolPath), QSize(64, 64)));
  PlaceInTwips(picture, layout.pictureLeft, layout.pictureTop, kPictureTwips, kPictureTwips);

  for (int line = 0; line < kind.lineCount; ++line) {
    lines.push_back(AddLabel(this, QStringLiteral("Label2_%1").arg(line),
                             CreatedLineText(kind, line), layout.lineLeft,
                             layout.lineTop + line * kLinePitchTwips, layout.lineWidth,
                             kLineHeightTwips, DialogFont(), kLightGrey));
  }
}

void StatusBitWindow::Open() {
  if (!timer->isActive()) {
    timer->start();
  }
  BringToFront(this);
}

void StatusBitWindow::Refresh() {
  // A value box that is gone cannot be read; the window keeps showing the last status byte,
  // value field included, rather than blanking it as an empty box would.
  if (source.isNull()) {
    return;
  }
  const QString sourceText = source->text();
  ShowLimits();
  const QString mark = source->property(kLimitMarkProperty).toString();
  valueField->setText(mark.isEmpty() ? sourceText : mark + u' ' + sourceText);
  // A frame without the section has no status byte: the lines go back to naming their bits
  // rather than explaining an earlier frame's.
  const bool explained = !sourceText.trimmed().isEmpty();
  NameFrame(explained);
  if (!explained) {
    for (int line = 0; line < kind.lineCount; ++line) {
      lines[static_cast<std::size_t>(line)]->setText(CreatedLineText(kind, line));
    }
    return;
  }
  const QString modeText = modeSource.isNull() ? QString() : modeSource->text();
  std::optional<QStringView> mode;
  if (!modeSource.isNull()) {
    mode = modeText;
  }
  for (int line = 0; line < kind.lineCount; ++line) {
    if (const auto text = ExplainedLineText(kind, line, sourceText, mode)) {
      lines[static_cast<std::size_t>(line)]->setText(*text);
    }
  }
}

// The status byte beyond its limits as the main window's box shows it: its colour, its mark
// before the byte and what decided it in the tooltip.
void StatusBitWindow::ShowLimits() {
  const auto level = static_cast<LimitLevel>(source->property(kLimitLevelProperty).toInt());
  const QColor colour = LimitColour(level);
  SetPaletteColour(valueField, QPalette::Base, colour.isValid() ? colour : kLightGrey);
  const QString note = level == LimitLevel::kNormal ? QString() : source->toolTip();
  if (valueField->toolTip() != note) {
    valueField->setToolTip(note);
  }
}

// "ADCS Status - frame 65432", or "ADCS Status - frame 65433: not in this frame".
void StatusBitWindow::NameFrame(bool explained) {
  const QString title = QString::fromLatin1(kind.title);
  const QString frame = frameSource.isNull() ? QString() : frameSource->text().trimmed();
  if (frame.isEmpty()) {
    setWindowTitle(title);
  } else if (explained) {
    setWindowTitle(tr("%1 - frame %2").arg(title, frame));
  } else {
    setWindowTitle(tr("%1 - frame %2: not in this frame").arg(title, frame));
  }
}

void StatusBitWindow::closeEvent(QCloseEvent* event) {
  timer->stop();
  QWidget::closeEvent(event);
}

}  // namespace quilmar
