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
#include "ui/limits/limit_look.h"
#include "ui/look/look.h"

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

int FrameStrip::LimitBlockHeight(LimitLevel level) const {
  const int height = innerHeight();
  return level == LimitLevel::kRed ? height / 4 : level == LimitLevel::kYellow ? height / 8 : 0;
}

void FrameStrip::Draw(const FrameTable& table, const FrameLevel& levelOf) {
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
      const LimitLevel level = levelOf ? levelOf(i) : LimitLevel::kNormal;
      if (level != LimitLevel::kNormal) {
        painter.setPen(LimitColour(level));
        painter.drawLine(column, 1, column, LimitBlockHeight(level));
      }
      if (column >= 0 && column < width) {
        columns[static_cast<std::size_t>(column)] = {i, record.frameNumber, record.frameTypeLetter,
                                                     level};
      }
    }
    FindNearestLines(step);
  } else {
    nearestLine.assign(columns.size(), -1);
  }
  update();
}

// Two sweeps give each column its nearest drawn column; ties go to the left one. A column
// further than half a step (and a pixel of rounding) from every line belongs to none, so
// clicks far left of the first line of a short log pick nothing.
void FrameStrip::FindNearestLines(double step) {
  const int count = static_cast<int>(columns.size());
  const int reach = static_cast<int>(std::ceil(step / 2)) + 1;
  std::vector<int> left(columns.size(), -1);
  std::vector<int> right(columns.size(), -1);
  for (int c = 0, last = -1; c < count; ++c) {
    last = columns[static_cast<std::size_t>(c)].index > 0 ? c : last;
    left[static_cast<std::size_t>(c)] = last;
  }
  for (int c = count - 1, next = -1; c >= 0; --c) {
    next = columns[static_cast<std::size_t>(c)].index > 0 ? c : next;
    right[static_cast<std::size_t>(c)] = next;
  }
  nearestLine.assign(columns.size(), -1);
  for (int c = 0; c < count; ++c) {
    const int l = left[static_cast<std::size_t>(c)];
    const int r = right[static_cast<std::size_t>(c)];
    int nearest = l;
    if (l < 0 || (r >= 0 && r - c < c - l)) {
      nearest = r;
    }
    if (nearest >= 0 && std::abs(nearest - c) <= reach) {
      nearestLine[static_cast<std::size_t>(c)] = nearest;
    }
  }
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

// The drawn column a point picks, or -1 on the border or away from every line.
int FrameStrip::NearestDrawnColumn(QPoint position) const {
  const int column = ColumnAt(position);
  if (!contentsRect().contains(position) || column < 0 ||
      column >= static_cast<int>(nearestLine.size())) {
    return -1;
  }
  return nearestLine[static_cast<std::size_t>(column)];
}

QString FrameStrip::ToolTipAt(QPoint position) const {
  const int column = NearestDrawnColumn(position);
  if (column < 0) {
    return QString();
  }
  const ColumnFrame& frame = columns[static_cast<std::size_t>(column)];
  QString text =
      QStringLiteral("Frame %1 of %2\nFrame number %3\nType %4: %5")
          .arg(frame.index)
          .arg(frameCount)
          .arg(frame.frameNumber)
          .arg(TypeText(frame.letter), QString::fromLatin1(LegendFor(frame.letter).caption));
  if (frame.level != LimitLevel::kNormal) {
    text += QStringLiteral("\nValues beyond their limits: %1")
                .arg(QString::fromLatin1(LevelText(frame.level)));
  }
  return text;
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
  const int index = FrameInColumn(NearestDrawnColumn(position));
  if (event->button() == Qt::LeftButton && index > 0) {
    emit frameClicked(index);
    event->accept();
    return;
  }
  QFrame::mousePressEvent(event);
}

}  // namespace quilmar
