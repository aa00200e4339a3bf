// Face geometry and colour rules of the panel picture.
#include "panel_picture.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "ui/look/look.h"
#include "ui/look/twips.h"

namespace quilmar {
namespace {

struct FaceDrawing {
  PanelFace face;
  std::array<QPoint, 4> vertices;  // pixels of the drawing surface, in drawing order
  QPoint captionTopLeft;
  const char* caption;
};

// Upper cube: -Z on top, +X left, +Y right. Lower cube: -Y left, -X right, +Z at the bottom.
constexpr std::array<FaceDrawing, 6> kFaces{{
    {PanelFace::kMinusZ, {{{60, 20}, {110, 30}, {160, 20}, {110, 10}}}, {103, 12}, "-Z"},
    {PanelFace::kPlusX, {{{60, 20}, {60, 80}, {110, 90}, {110, 30}}}, {75, 50}, "+X"},
    {PanelFace::kPlusY, {{{110, 30}, {110, 90}, {160, 80}, {160, 20}}}, {130, 50}, "+Y"},
    {PanelFace::kMinusY, {{{60, 120}, {60, 180}, {110, 170}, {110, 110}}}, {75, 140}, "-Y"},
    {PanelFace::kMinusX, {{{110, 110}, {110, 170}, {160, 180}, {160, 120}}}, {130, 140}, "-X"},
    {PanelFace::kPlusZ, {{{60, 180}, {110, 190}, {160, 180}, {110, 170}}}, {103, 175}, "+Z"},
}};

constexpr std::array<PanelFace, 6> kResetOrder{PanelFace::kPlusX, PanelFace::kMinusX,
                                               PanelFace::kPlusY, PanelFace::kMinusY,
                                               PanelFace::kPlusZ, PanelFace::kMinusZ};

// 0xC0C0: from this colour value on, a fill is bright enough for black lines.
constexpr int kBlackLinesFrom = 49344;

// 2775 x 3015 twips on the tab.
constexpr int kSurfaceWidth = 2775;
constexpr int kSurfaceHeight = 3015;

const FaceDrawing& DrawingOf(PanelFace face) {
  for (const FaceDrawing& drawing : kFaces) {
    if (drawing.face == face) {
      return drawing;
    }
  }
  return kFaces.front();
}

}  // namespace

std::optional<QColor> PanelColour(double current) {
  const double n = std::nearbyint(current * 0.6);  // the default rounding mode ties to even
  // Beyond a signed 16-bit integer, or negative: no colour (NaN fails the test as well).
  if (!(n >= 0 && n <= std::numeric_limits<std::int16_t>::max())) {
    return std::nullopt;
  }
  const int level = std::min(static_cast<int>(n), 255);
  return QColor(level, level, 0);
}

int ColourValue(const QColor& colour) {
  return colour.blue() * 65536 + colour.green() * 256 + colour.red();
}

PanelPicture::PanelPicture(QWidget* parent)
    : QWidget(parent), surface(Px(kSurfaceWidth), Px(kSurfaceHeight)) {
  // Before the first load the picture shows its empty background.
  surface.fill(palette().color(QPalette::Window));
  setFixedSize(surface.size());
}

void PanelPicture::DrawPanelFace(PanelFace face, const QColor& colour) {
  PaintPendingLook();
  paintedLook.reset();
  Paint(face, colour);
  update();
}

void PanelPicture::Paint(PanelFace face, const QColor& colour) const {
  const FaceDrawing& drawing = DrawingOf(face);
  const QColor lines = ColourValue(colour) >= kBlackLinesFrom ? Qt::black : Qt::white;
  QPainter painter(&surface);
  painter.setPen(QPen(lines, 1));
  painter.setBrush(colour);
  painter.drawPolygon(QPolygon(QList<QPoint>(drawing.vertices.begin(), drawing.vertices.end())));
  painter.setFont(SansFont(9.75, true));
  const QRect captionBox(drawing.captionTopLeft, QSize(40, 20));
  painter.drawText(captionBox, Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(drawing.caption));
}

void PanelPicture::PaintReset() const {
  for (PanelFace face : kResetOrder) {
    Paint(face, QColor(0, 0, 0));
  }
}

void PanelPicture::Reset() {
  pendingLook.reset();
  PaintReset();
  paintedLook.emplace();
  update();
}

void PanelPicture::ShowLook(std::span<const FaceFill> fills) {
  const std::optional<Look>& wanted = pendingLook ? pendingLook : paintedLook;
  if (wanted && std::equal(fills.begin(), fills.end(), wanted->begin(), wanted->end())) {
    return;
  }
  pendingLook.emplace(fills.begin(), fills.end());
  update();
}

// Every face is painted whole by the reset, so the pixels after it depend on the fills alone.
void PanelPicture::PaintPendingLook() const {
  if (!pendingLook) {
    return;
  }
  PaintReset();
  for (const FaceFill& fill : *pendingLook) {
    Paint(fill.face, fill.colour);
  }
  paintedLook = std::move(pendingLook);
  pendingLook.reset();
}

const QPixmap& PanelPicture::Surface() const {
  PaintPendingLook();
  return surface;
}

void PanelPicture::paintEvent(QPaintEvent*) {
  PaintPendingLook();
  QPainter painter(this);
  painter.drawPixmap(0, 0, surface);
}

}  // namespace quilmar
