// Builds the frame view's controls from the twip position tables: value rows in their frames on
// the three tabs, the picture buttons and the spacecraft drawing, the header boxes under the
// tabs and the frame-type boxes in the widened area right of them.
#include <QButtonGroup>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QSvgRenderer>
#include <QToolButton>
#include <algorithm>

#include "frame_view_controls.h"
#include "panel_picture.h"
#include "ui/limits/limit_look.h"
#include "ui/look/look.h"
#include "ui/look/twips.h"
#include "value_row_layout.h"

namespace quilmar {
namespace {

// The header boxes below the tabs, on the client area.
struct HeaderPlace {
  const char* name;
  int left, width;
  const char* caption;  // grey caption underneath; nullptr for none
  int captionWidth;     // up to the next box, which may be wider than the box itself
};

constexpr int kHeaderTop = 5760;
constexpr int kHeaderHeight = 330;
constexpr int kHeaderCaptionTop = 6120;
constexpr std::array<HeaderPlace, 5> kHeaderBoxes{{
    {"Text3_1", 120, 2175, "RTC Time (PDT)", 2175},
    {"Text3_0", 2400, 1215, nullptr, 0},
    {"Text3_2", 3840, 975, "frame number", 1080},
    {"Text6", 4920, 735, "prim. counter", 840},
    {"Text7", 5760, 1095, "sec. counter", 1095},
}};

// Frame-type boxes in the widened client area right of the tabs, clear of the graph's range
// selection and the missing-frames list.
constexpr std::array<HeaderPlace, 2> kFrameTypeBoxes{{
    {"Text5", 10320, 735, "ID", 735},
    {"Text8", 11160, 1095, "frame type", 1095},
}};
constexpr int kFrameTypeTop = 3000;

QLabel* MakeLabel(QWidget* parent, const QString& text, QRect place) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(place);
  label->setFont(DialogFont());
  return label;
}

QLineEdit* MakeBox(QWidget* parent, const char* name, QRect place, const QFont& font) {
  auto* box = new QLineEdit(parent);
  box->setStyle(BoxStyle());
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(place);
  box->setFont(font);
  KeepOwnFont(box, font);
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::ClickFocus);
  return box;
}

QLineEdit* MakeGreyBox(QWidget* parent, const char* name, QRect place, const QFont& font) {
  QLineEdit* box = MakeBox(parent, name, place, font);
  SetPaletteColour(box, QPalette::Base, kLightGrey);
  return box;
}

QLabel* MakeFillLabel(QWidget* frame, const char* name, int top) {
  QLabel* label = MakeLabel(frame, QString(), TwipRect(6480, top, 615, kLabelHeight));
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(NarrowFont(8.25));
  SetPaletteColour(label, QPalette::WindowText, kCaptionGrey);
  return label;
}

// Width of the longest unit label ("km/s") beside the picture, in twips.
constexpr int kUnitLabelClearance = 540;

QPixmap SpacecraftDrawing(QSize size) {
  QSvgRenderer renderer(QStringLiteral(":/quilmar/spacecraft.svg"));
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  // The picture's left edge shares its column with the unit labels of rows 81..92; drawing
  // it right-aligned past their width keeps "km" and "km/s" off the board names.
  const QSize room(size.width() - Px(kUnitLabelClearance), size.height());
  const QSize drawn = renderer.defaultSize().scaled(room, Qt::KeepAspectRatio);
  renderer.render(&painter, QRectF(QPointF(size.width() - drawn.width(), 0), drawn));
  return pixmap;
}

void BuildRow(FrameViewControls& c, QWidget* frame, const RowRun& run, int row) {
  const int top = run.top + (row - run.firstRow) * kRowPitch;
  const QString index = QString::number(row);

  auto* button = new QRadioButton(frame);
  button->setObjectName(QStringLiteral("Option2_") + index);
  button->setGeometry(TwipRect(run.button, top, kButtonSize, kButtonSize));
  c.buttons[row] = button;

  // The name ends where its value box begins: rounded to pixels, the designed width reaches one
  // column into the box, and every repaint of the box would repaint the name as well.
  QRect namePlace = TwipRect(run.name, top, run.nameWidth, kLabelHeight);
  namePlace.setRight(std::min(namePlace.right(), Px(run.box) - 1));
  c.names[row] = MakeLabel(frame, QString(), namePlace);
  c.names[row]->setObjectName(QStringLiteral("Label1_") + index);

  const QFont boxFont = (row == 67 || row == 68) ? SansFont(8.25) : DialogFont();
  const QByteArray boxName = QByteArrayLiteral("Text1_") + index.toLatin1();
  c.values[row] = MakeGreyBox(frame, boxName.constData(),
                              TwipRect(run.box, top, run.boxWidth, kBoxHeight), boxFont);

  // A wide box may reach into its column's unit position; its unit then follows the box.
  const int unitLeft = std::max(run.unit, run.box + run.boxWidth + 45);
  c.units[row] = MakeLabel(frame, QString(), TwipRect(unitLeft, top, kUnitWidth, kLabelHeight));
  c.units[row]->setObjectName(QStringLiteral("Label2_") + index);
  if (row >= 86 && row <= 91) {
    c.units[row]->setAlignment(Qt::AlignRight | Qt::AlignTop);
  }
}

}  // namespace

// Builds the four frames, the value rows in them and the controls that share their frames.
static std::array<QGroupBox*, 4> BuildFrames(QWidget* eps, QWidget* comCdhs, QWidget* adcs) {
  std::array<QGroupBox*, 4> frames{};
  const std::array<QWidget*, 4> tabs{eps, comCdhs, comCdhs, adcs};
  for (const FrameBox& box : kFrameBoxes) {
    const int i = static_cast<int>(box.frame);
    frames[i] = new QGroupBox(QString::fromLatin1(box.caption), tabs[i]);
    frames[i]->setGeometry(TwipRect(box.left, box.top, box.width, box.height));
  }
  return frames;
}

static void BuildAdcsExtras(FrameView* view, FrameViewControls& c, QWidget* adcsFrame) {
  // The drawing goes in first so the unit captions beside it stay on top.
  c.image1 = new QLabel(adcsFrame);
  c.image1->setObjectName(QStringLiteral("Image1"));
  c.image1->setGeometry(TwipRect(6600, 1320, 2865, 3045));
  c.image1->setPixmap(SpacecraftDrawing(c.image1->size()));

  const QIcon info(QStringLiteral(":/quilmar/info.svg"));
  for (std::size_t i = 0; i < kPictureButtons.size(); ++i) {
    const PictureButtonPlace& place = kPictureButtons[i];
    auto* button = new QToolButton(adcsFrame);
    button->setObjectName(QString::fromLatin1(place.name));
    button->setGeometry(
        TwipRect(kPictureButtonLeft, place.top, kPictureButtonSize, kPictureButtonSize));
    button->setAutoRaise(true);
    button->setIcon(info);
    button->setIconSize(QSize(16, 16));
    button->setToolTip(QString::fromLatin1(place.toolTip));
    const int row = place.row;
    QObject::connect(button, &QToolButton::clicked, view,
                     [view, row] { emit view->statusBitWindowRequested(row); });
    c.pictureButtons[i] = button;
  }
  c.text4 =
      MakeGreyBox(adcsFrame, "Text4", TwipRect(3720, 4080, 2655, kBoxHeight), SansFont(8.25, true));
  c.label14 = MakeFillLabel(adcsFrame, "Label14", 360);
  c.label15 = MakeFillLabel(adcsFrame, "Label15", 600);
}

static void BuildHeader(FrameViewControls& c, QWidget* clientArea) {
  for (const HeaderPlace& place : kHeaderBoxes) {
    const double points = place.left == 120 ? 9.75 : 8.25;
    QLineEdit* box = MakeGreyBox(clientArea, place.name,
                                 TwipRect(place.left, kHeaderTop, place.width, kHeaderHeight),
                                 SansFont(points, true));
    if (place.caption != nullptr) {
      QLabel* caption = MakeLabel(clientArea, QString::fromLatin1(place.caption),
                                  TwipRect(place.left, kHeaderCaptionTop, place.captionWidth, 255));
      caption->setFont(NarrowFont(8.25));  // "prim. counter" has only the width up to Text7
      SetPaletteColour(caption, QPalette::WindowText, kCaptionGrey);
    }
    const QString name = box->objectName();
    if (name.startsWith(QStringLiteral("Text3_"))) {
      c.text3[name.back().digitValue()] = box;
    } else {
      (name == QStringLiteral("Text6") ? c.text6 : c.text7) = box;
    }
  }
  for (const HeaderPlace& place : kFrameTypeBoxes) {
    QLineEdit* box =
        MakeGreyBox(clientArea, place.name,
                    TwipRect(place.left, kFrameTypeTop, place.width, kBoxHeight), DialogFont());
    MakeLabel(clientArea, QString::fromLatin1(place.caption),
              TwipRect(place.left, kFrameTypeTop + 300, place.width, 255));
    (place.name == std::string_view("Text5") ? c.text5 : c.text8) = box;
  }
  c.label13 = MakeLabel(clientArea, QString(), TwipRect(120, 6360, 4695, 375));
  c.label13->setObjectName(QStringLiteral("Label13"));
  c.label13->setFont(SansFont(12, true));
  SetPaletteColour(c.label13, QPalette::WindowText, kDarkBlue);
}

FrameView::FrameView(QWidget* epsTcsTab, QWidget* comCdhsTab, QWidget* adcsTab, QWidget* clientArea)
    : QObject(clientArea), controls(new Controls) {
  Controls& c = *controls;
  ownColours.fill(kLightGrey);
  const std::array<QGroupBox*, 4> frames = BuildFrames(epsTcsTab, comCdhsTab, adcsTab);
  BuildAdcsExtras(this, c, frames[static_cast<int>(RowFrame::kAdcs)]);
  for (const RowRun& run : kRowRuns) {
    for (int row = run.firstRow; row <= run.lastRow; ++row) {
      BuildRow(c, frames[static_cast<int>(run.frame)], run, row);
    }
  }
  // Rows 69..74 have a picture button in their unit column instead of a unit; the empty
  // unit labels built after the buttons would otherwise take their clicks.
  for (std::size_t i = 0; i < kPictureButtons.size(); ++i) {
    c.units[kPictureButtons[i].row]->hide();
    c.pictureButtons[i]->raise();
  }
  // The parameter buttons stand in four frames on three tabs; one group keeps one of them on.
  c.buttonGroup = new QButtonGroup(this);
  c.buttonGroup->setExclusive(true);
  for (int row = 0; row < kParameterCount; ++row) {
    c.buttonGroup->addButton(c.buttons[row], row);
  }
  connect(c.buttonGroup, &QButtonGroup::idClicked, this, &FrameView::parameterButtonClicked);

  QWidget* epsFrame = frames[static_cast<int>(RowFrame::kEpsTcs)];
  MakeLabel(epsFrame, QStringLiteral("Beacon Text"), TwipRect(3720, 4440, 1335, kLabelHeight));
  c.text9 = MakeBox(epsFrame, "Text9", TwipRect(5160, 4440, 3735, kBoxHeight), DialogFont());

  c.panel = new PanelPicture(comCdhsTab);
  c.panel->setObjectName(QStringLiteral("Picture1"));
  c.panel->move(Px(6855), Px(600));
  BuildHeader(c, clientArea);
}

FrameView::~FrameView() { delete controls; }

QLineEdit* FrameView::ValueBox(int row) const {
  return row >= 0 && row < kParameterCount ? controls->values[row] : nullptr;
}

QRadioButton* FrameView::ParameterButton(int row) const {
  return row >= 0 && row < kParameterCount ? controls->buttons[row] : nullptr;
}

PanelPicture* FrameView::Panel() const { return controls->panel; }

void FrameView::SetValueBoxColour(int row, const QColor& colour) {
  if (row >= 0 && row < kParameterCount) {
    ownColours[static_cast<std::size_t>(row)] = colour;
    ApplyBoxColour(row);
  }
}

void FrameView::ApplyBoxColour(int row) {
  const auto r = static_cast<std::size_t>(row);
  const QColor limit = LimitColour(limitLevels[r]);
  SetPaletteColour(controls->values[r], QPalette::Base, limit.isValid() ? limit : ownColours[r]);
}

void FrameView::SetLimitMark(int row, LimitLevel level, LimitDirection direction,
                             const QString& note) {
  if (row < 0 || row >= kParameterCount) {
    return;
  }
  const auto r = static_cast<std::size_t>(row);
  if (level == LimitLevel::kNormal && limitLevels[r] == LimitLevel::kNormal) {
    return;  // most boxes of most frames: nothing to take away
  }
  QLineEdit* box = controls->values[r];
  if (limitLevels[r] != level) {
    limitLevels[r] = level;
    box->setProperty(kLimitLevelProperty, static_cast<int>(level));
    ApplyBoxColour(row);
  }
  const QString mark = LimitMarkText(level, direction);
  box->setProperty(kLimitMarkProperty, mark);
  MarkBox(box, mark, note);
}

LimitLevel FrameView::LimitLevelOf(int row) const {
  return row >= 0 && row < kParameterCount ? limitLevels[static_cast<std::size_t>(row)]
                                           : LimitLevel::kNormal;
}

QString FrameView::LimitMarkOf(int row) const {
  const QLineEdit* box = ValueBox(row);
  return box != nullptr ? BoxMark(box) : QString();
}

QColor FrameView::ValueBoxColour(int row) const {
  const QLineEdit* box = ValueBox(row);
  return box != nullptr ? box->palette().color(QPalette::Base) : QColor();
}

}  // namespace quilmar
