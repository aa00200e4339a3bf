// The memory dump's drawing area (Picture1): one vertical line per stored frame, coloured by
// frame type, drawn once into a persistent image.
#include "ui/aux/frame_strip.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "core/frame_table.h"
#include "ui/aux/frame_type_legend.h"
#include "ui/main/look.h"

namespace quilmar {

namespace {

// Keeps the last frame's line clear of the right border.
constexpr int kRightMarginPixels = 10;

// A type byte as the operator reads it: the letter when printable, else its hex code.
QString TypeText(const std::string& letter) {
  if (letter.size() == 1 && static_cast<unsigned char>(letter[0]) >= 0x21 &&
      static_cast<unsigned char>(letter[0]) <= 0x7E) {
    return QString::fromLatin1(letter.data(), 1);
  }
  QStringList codes;
  for (const char byte : letter) {
    codes << QStringLiteral("0x%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0'));
  }
  return codes.isEmpty() ? QStringLiteral("(none)") : codes.join(QLatin1Char(' '));
}

}  // namespace

FrameStrip::FrameStrip(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Picture1"));
  // The designed picture box has a 2-pixel sunken border; drawing starts inside it.
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setMouseTracking(true);
}

void FrameStrip::Draw(const FrameTable& table) {
  const int width = innerWidth();
  const int height = innerHeight();
  drawing = QPixmap(width, height);
  drawing.fill(kLightGrey);
  columns.assign(static_cast<std::size_t>(std::max(width, 0)), ColumnFrame{});
  frameCount = table.frameCount;
  if (frameCount > 0) {
    QPainter painter(&drawing);
    const double step = static_cast<double>(width - kRightMarginPixels) / frameCount;
    for (int i = 1; i <= frameCount; ++i) {
      const FrameRecord& record = table.Record(i);
      const float x = static_cast<float>(i * step);
      // Halves go to the even column, like every integer conversion in this program.
      const int column = static_cast<int>(std::nearbyint(x));
      painter.setPen(LegendFor(record.frameTypeLetter).colour());
      // Row 0 stays clear; later frames paint over earlier ones in a shared column.
      painter.drawLine(column, 1, column, height - 1);
      if (column >= 0 && column < width) {
        columns[static_cast<std::size_t>(column)] = {i, record.frameNumber, record.frameTypeLetter};
      }
    }
  }
  update();
}

int FrameStrip::FrameInColumn(int column) const {
  if (column < 0 || column >= static_cast<int>(columns.size())) {
    return 0;
  }
  return columns[static_cast<std::size_t>(column)].index;
}

bool FrameStrip::ShowsRecord(int frameIndex, const FrameRecord& record) const {
  return frameIndex > 0 &&
         std::any_of(columns.begin(), columns.end(), [&](const ColumnFrame& frame) {
           return frame.index == frameIndex && frame.frameNumber == record.frameNumber &&
                  frame.letter == record.frameTypeLetter;
         });
}

int FrameStrip::ColumnAt(QPoint position) const { return position.x() - contentsRect().left(); }

QString FrameStrip::ToolTipAt(QPoint position) const {
  const int column = ColumnAt(position);
  if (FrameInColumn(column) == 0 || !contentsRect().contains(position)) {
    return QString();
  }
  const ColumnFrame& frame = columns[static_cast<std::size_t>(column)];
  return QStringLiteral("Frame %1 of %2\nFrame number %3\nType %4: %5")
      .arg(frame.index)
      .arg(frameCount)
      .arg(frame.frameNumber)
      .arg(TypeText(frame.letter), QString::fromLatin1(LegendFor(frame.letter).caption));
}

bool FrameStrip::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return QFrame::event(event);
}

void FrameStrip::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.drawPixmap(contentsRect().topLeft(), drawing);
}

void FrameStrip::mousePressEvent(QMouseEvent* event) {
  const QPoint position = event->position().toPoint();
  const int index = contentsRect().contains(position) ? FrameInColumn(ColumnAt(position)) : 0;
  if (event->button() == Qt::LeftButton && index > 0) {
    emit frameClicked(index);
    event->accept();
    return;
  }
  QFrame::mousePressEvent(event);
}

}  // namespace quilmar
