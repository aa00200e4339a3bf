// One status-bit window: follows a value box of the main window once per second and explains
// the eight bits of the status byte it shows.
#include "ui/aux/status_bit_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "ui/aux/aux_look.h"
#include "ui/main/look.h"
#include "ui/main/twips.h"

namespace quilmar {

namespace {

constexpr int kRefreshMilliseconds = 1000;

// A box that is gone reads as empty: the window then keeps the texts it shows.
QString TextOf(const QPointer<const QLineEdit>& box) {
  return box.isNull() ? QString() : box->text();
}

}  // namespace

StatusBitWindow::StatusBitWindow(const StatusBitMember& member, QPointer<const QLineEdit> source,
                                 QPointer<const QLineEdit> modeSource)
    : member_(member), source_(std::move(source)), modeSource_(std::move(modeSource)) {
  const StatusWindowLayout& layout = member_.layout;
  SetUpFixedWindow(this, QString::fromLatin1(member_.formName), QString::fromLatin1(member_.title),
                   layout.clientWidth, layout.clientHeight, kLightGrey);
  setWindowIcon(NoWindowIcon());
  BuildControls();

  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(kRefreshMilliseconds);
  connect(timer_, &QTimer::timeout, this, &StatusBitWindow::Refresh);
}

void StatusBitWindow::BuildControls() {
  const StatusWindowLayout& layout = member_.layout;
  const TwipBox& heading = layout.heading;
  QLabel* headingLabel =
      AddLabel(this, QStringLiteral("Label1"), QString::fromLatin1(member_.heading), heading.left,
               heading.top, heading.width, heading.height, SansFont(12, true), kLightGrey);
  QPalette headingPalette = headingLabel->palette();
  headingPalette.setColor(QPalette::WindowText, kDarkBlue);
  headingLabel->setPalette(headingPalette);

  valueField_ = new QLineEdit(this);
  valueField_->setObjectName(QStringLiteral("Text1"));
  valueField_->setFont(MonoFont(15.75, true));
  QPalette fieldPalette = valueField_->palette();
  fieldPalette.setColor(QPalette::Base, kLightGrey);
  valueField_->setPalette(fieldPalette);
  const TwipBox& field = layout.valueField;
  PlaceInTwips(valueField_, field.left, field.top, field.width, field.height);

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("Image1"));
  picture->setPixmap(RenderArtwork(QString::fromLatin1(kInfoSymbolPath), QSize(64, 64)));
  PlaceInTwips(picture, layout.pictureLeft, layout.pictureTop, kPictureTwips, kPictureTwips);

  for (int line = 0; line < member_.lineCount; ++line) {
    lines_.push_back(AddLabel(this, QStringLiteral("Label2_%1").arg(line),
                              CreatedLineText(member_, line), layout.lineLeft,
                              layout.lineTop + line * kLinePitchTwips, layout.lineWidth,
                              kLineHeightTwips, DialogFont(), kLightGrey));
  }
}

void StatusBitWindow::Open() {
  if (!timer_->isActive()) {
    timer_->start();
  }
  BringToFront(this);
}

void StatusBitWindow::Refresh() {
  const QString source = TextOf(source_);
  valueField_->setText(source);
  if (source.trimmed().isEmpty()) {
    return;
  }
  const QString modeText = TextOf(modeSource_);
  for (int line = 0; line < member_.lineCount; ++line) {
    if (const auto text = ExplainedLineText(member_, line, source, modeText)) {
      lines_[static_cast<std::size_t>(line)]->setText(*text);
    }
  }
}

void StatusBitWindow::closeEvent(QCloseEvent* event) {
  timer_->stop();
  QWidget::closeEvent(event);
}

}  // namespace quilmar
