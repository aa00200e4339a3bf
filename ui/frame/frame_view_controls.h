// The controls of the frame view, shared by the unit that builds them and the one that fills
// them. Private to the frame view.
#pragma once

#include <array>

#include "core/parameter_catalogue.h"
#include "frame_view.h"

class QButtonGroup;
class QFont;
class QLabel;
class QLineEdit;
class QRadioButton;
class QString;
class QStyle;
class QToolButton;

namespace quilmar {

struct FrameViewControls {
  std::array<QRadioButton*, kParameterCount> buttons{};  // Option2(i)
  std::array<QLabel*, kParameterCount> names{};          // Label1(i)
  std::array<QLineEdit*, kParameterCount> values{};      // Text1(i)
  std::array<QLabel*, kParameterCount> units{};          // Label2(i)
  QButtonGroup* buttonGroup = nullptr;

  std::array<QLineEdit*, 3> text3{};  // Text3(0) weekday, (1) clock, (2) frame number
  QLineEdit* text4 = nullptr;         // J2000 date
  QLineEdit* text5 = nullptr;         // frame type character, out of view
  QLineEdit* text6 = nullptr;         // primary counter
  QLineEdit* text7 = nullptr;         // secondary counter
  QLineEdit* text8 = nullptr;         // frame type text, out of view
  QLineEdit* text9 = nullptr;         // beacon text
  QLabel* label13 = nullptr;          // frame description
  QLabel* label14 = nullptr;          // GPS memory fill
  QLabel* label15 = nullptr;          // XHK memory fill
  PanelPicture* panel = nullptr;      // Picture1
  QLabel* image1 = nullptr;           // spacecraft drawing
  std::array<QToolButton*, 6> pictureButtons{};
};

struct FrameView::Controls : FrameViewControls {};

// Arial Narrow's metric twin, or the sans-serif face condensed where it is missing.
QFont NarrowFont(double pointSize, bool bold = false);

// The application's style with the boxes' panels kept drawn, for every box of the frame view.
QStyle* BoxStyle();

// The font FitText returns a box to when its text fits.
void KeepOwnFont(QLineEdit* box, const QFont& font);

// Puts text in a box built by the frame view, shown from its start. A text wider than the box
// is drawn in the narrow face, smaller if need be, so that all of it shows; any other text in
// the box's own font. A text that does not fit even at the smallest size is cut off and shows
// whole in the box's tooltip. An unchanged text leaves the box alone.
void FitText(QLineEdit* box, const QString& text);
// Empties a box built by the frame view, unless it is empty already.
void EmptyBox(QLineEdit* box);
// Puts a mark before the box's text ("▲", or none when empty) and a note on its limits in
// its tooltip, after the cut-off text if any.
void MarkBox(QLineEdit* box, const QString& mark, const QString& note);
QString BoxMark(const QLineEdit* box);

}  // namespace quilmar
