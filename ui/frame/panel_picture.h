// The panel picture on the "COM / CDHS" tab: the spacecraft body as two cube drawings whose six
// faces run from black to yellow with the current their solar cells deliver. The faces are
// painted into a persistent pixmap that is never cleared, so the picture keeps its look while
// the tab is hidden or the window is covered.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>
#include <optional>
#include <span>
#include <vector>

namespace quilmar {

enum class PanelFace { kPlusX, kMinusX, kPlusY, kMinusY, kPlusZ, kMinusZ };

// The fill for a solar-side current in mA: n = current * 0.6 rounded half to even, red = green =
// min(n, 255), blue 0. Empty when n does not fit a signed 16-bit integer (or the current is not
// a number), and for negative n, which a face shows in its reset look.
std::optional<QColor> PanelColour(double current);

// The colour as the 24-bit value blue * 65536 + green * 256 + red.
int ColourValue(const QColor& colour);

// One face painted over the reset look.
struct FaceFill {
  PanelFace face;
  QColor colour;
  bool operator==(const FaceFill&) const = default;
};

class PanelPicture : public QWidget {
  Q_OBJECT
 public:
  explicit PanelPicture(QWidget* parent = nullptr);

  // Paints one face over its previous drawing: filled polygon with a one-pixel outline and its
  // caption, both black on bright fills (colour value 49344 and up) and white on dark ones.
  void DrawPanelFace(PanelFace face, const QColor& colour);
  // All six faces black with white outlines and captions, in the order +X -X +Y -Y +Z -Z.
  void Reset();
  // Reset followed by these faces in this order (shared edges take the later face's lines).
  // The surface is painted when it is next shown or read, and only when that look differs
  // from the one it has: steps through the frames with the picture's tab hidden, or between
  // frames with the same currents, leave it alone.
  void ShowLook(std::span<const FaceFill> fills);
  // What the widget shows: the painted surface, one device pixel per drawing unit.
  const QPixmap& Surface() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  using Look = std::vector<FaceFill>;

  void Paint(PanelFace face, const QColor& colour) const;
  void PaintReset() const;
  void PaintPendingLook() const;

  // The surface is brought up to the pending look on reading, hence mutable.
  mutable QPixmap surface;
  // The look the surface has, from Reset or ShowLook; empty once other drawing has changed it.
  mutable std::optional<Look> paintedLook;
  // The look ShowLook asked for and the surface does not have yet.
  mutable std::optional<Look> pendingLook;
};

}  // namespace quilmar
