// Texts in boxes designed in twips for the fonts of their time: a text too wide for its box
// gets a narrower face, smaller if need be, and the whole text in a tooltip when even the
// smallest size cannot show it. A box is only written when its text changes, so a scroll step
// repaints just the boxes whose value moved.
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "frame_view_controls.h"
#include "ui/look/look.h"

namespace quilmar {
namespace {

// The font a box was designed with, kept on the box for FitText.
constexpr char kOwnFont[] = "quilmarOwnFont";
// Whether the box's text is cut off, and the note on its limits, which share the tooltip.
constexpr char kCutOff[] = "quilmarCutOff";
constexpr char kLimitNote[] = "quilmarLimitNote";
constexpr char kMarkName[] = "LimitMark";

// The smallest size a long text shrinks to.
constexpr double kSmallestPoints = 6;

// Pixels a QLineEdit keeps clear on either side of its text, inside its frame.
constexpr int kTextInset = 2;

int TextRoom(const QLineEdit* box) {
  QStyleOptionFrame option;
  option.initFrom(box);
  option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
  const QRect contents = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
  const QMargins margins = box->textMargins();
  return contents.width() - margins.left() - margins.right() - 2 * kTextInset;
}

// The advances of the Latin-1 characters in a box's own font, so that the texts of a frame
// are measured without being shaped one by one.
struct LatinAdvances {
  QFont font;
  std::array<qreal, 256> advance{};
};

const LatinAdvances& AdvancesOf(const QFont& font) {
  static std::vector<std::unique_ptr<LatinAdvances>> known;  // one per own font: a handful
  for (const auto& advances : known) {
    if (advances->font == font) {
      return *advances;
    }
  }
  auto advances = std::make_unique<LatinAdvances>();
  advances->font = font;
  const QFontMetricsF metrics(font);
  for (int c = 0; c < 256; ++c) {
    advances->advance[static_cast<std::size_t>(c)] = metrics.horizontalAdvance(QChar(c));
  }
  known.push_back(std::move(advances));
  return *known.back();
}

// Whether text fits room in the box's own font. The sum of the advances leaves out kerning;
// a text within a few pixels of the room, or outside Latin-1, is measured as laid out.
bool FitsInOwnFont(const QFont& own, const QString& text, int room) {
  const LatinAdvances& advances = AdvancesOf(own);
  qreal width = 0;
  for (const QChar c : text) {
    if (c.unicode() > 255) {
      return QFontMetricsF(own).horizontalAdvance(text) <= room;
    }
    width += advances.advance[c.unicode()];
  }
  return width <= room - 2 || QFontMetricsF(own).horizontalAdvance(text) <= room;
}

struct Fitting {
  QFont font;
  bool whole = true;  // false: even the smallest size cuts the text off
};

Fitting FittingFont(const QFont& own, const QString& text, int room) {
  if (FitsInOwnFont(own, text, room)) {
    return {own};
  }
  QFont font = NarrowFont(own.pointSizeF(), own.bold());
  const qreal width = QFontMetricsF(font).horizontalAdvance(text);
  if (width <= room) {
    return {font};
  }
  // The width grows with the point size: start from the size that should just fit.
  double points = std::floor(font.pointSizeF() * room / width * 4) / 4;
  for (points = std::max(points, kSmallestPoints);; points -= 0.25) {
    font.setPointSizeF(points);
    const bool fits = QFontMetricsF(font).horizontalAdvance(text) <= room;
    if (fits || points <= kSmallestPoints) {
      return {font, fits};
    }
  }
}

// The whole text when it is cut off, then the note on the value's limits.
void ApplyToolTip(QLineEdit* box) {
  QStringList lines;
  if (box->property(kCutOff).toBool()) {
    lines << box->text();
  }
  if (const QString note = box->property(kLimitNote).toString(); !note.isEmpty()) {
    lines << note;
  }
  const QString toolTip = lines.join(u'\n');
  if (box->toolTip() != toolTip) {
    box->setToolTip(toolTip);
  }
}

QLabel* MarkLabel(QLineEdit* box, bool make) {
  auto* mark = box->findChild<QLabel*>(QString::fromLatin1(kMarkName), Qt::FindDirectChildrenOnly);
  if (mark != nullptr || !make) {
    return mark;
  }
  mark = new QLabel(box);
  mark->setObjectName(QString::fromLatin1(kMarkName));
  QFont font = box->property(kOwnFont).value<QFont>();
  font.setBold(true);
  mark->setFont(font);
  mark->setAlignment(Qt::AlignCenter);
  // Hovering the mark shows the box's tooltip.
  mark->setAttribute(Qt::WA_TransparentForMouseEvents);
  const int width = QFontMetrics(font).horizontalAdvance(QChar(0x25B2)) + 2;
  mark->setGeometry(kTextInset, 0, width, box->height());
  return mark;
}

}  // namespace

// The memory fill labels were designed in Arial Narrow.
QFont NarrowFont(double pointSize, bool bold) {
  static const bool narrowFace = QFontDatabase::hasFamily(QStringLiteral("Liberation Sans Narrow"));
  if (!narrowFace) {
    QFont font = SansFont(pointSize, bold);
    font.setStretch(QFont::Condensed);
    return font;
  }
  QFont font(QStringLiteral("Liberation Sans Narrow"));
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

void KeepOwnFont(QLineEdit* box, const QFont& font) { box->setProperty(kOwnFont, font); }

// Setting a line edit's text lays it out and repaints it even when nothing changes; the
// comparisons keep a step through similar frames from touching every box.
void FitText(QLineEdit* box, const QString& text) {
  if (box->text() == text) {
    // Only a cut-off text (the one with a tooltip) can have been scrolled by a click.
    if (!box->toolTip().isEmpty() && box->cursorPosition() != 0) {
      box->setCursorPosition(0);
    }
    return;
  }
  const QFont own = box->property(kOwnFont).value<QFont>();
  const Fitting fitting = FittingFont(own, text, TextRoom(box));
  if (box->font() != fitting.font) {
    box->setFont(fitting.font);
  }
  box->setProperty(kCutOff, !fitting.whole);
  box->setText(text);
  ApplyToolTip(box);
  if (!fitting.whole) {
    box->setCursorPosition(0);  // setText leaves the cursor at the end, scrolled into view
  }
}

void EmptyBox(QLineEdit* box) { FitText(box, QString()); }

// The mark takes room before the text, so a text that fitted may now need the narrow face:
// the box's text is fitted again whenever that room changes.
void MarkBox(QLineEdit* box, const QString& mark, const QString& note) {
  QLabel* label = MarkLabel(box, !mark.isEmpty());
  const int room = mark.isEmpty() || label == nullptr ? 0 : label->width();
  if (label != nullptr && label->text() != mark) {
    label->setText(mark);
    label->setVisible(!mark.isEmpty());
  }
  box->setProperty(kLimitNote, note);
  if (box->textMargins().left() != room) {
    box->setTextMargins(room, 0, 0, 0);
    const QString text = box->text();
    box->setText(QString());
    FitText(box, text);
  }
  ApplyToolTip(box);
}

QString BoxMark(const QLineEdit* box) {
  const QLabel* label =
      box->findChild<QLabel*>(QString::fromLatin1(kMarkName), Qt::FindDirectChildrenOnly);
  return label != nullptr ? label->text() : QString();
}

}  // namespace quilmar
