// ShowFrame: puts one stored frame on the frame view's controls. The controls are the view's
// only memory; the status-bit windows read the value boxes of rows 67 and 69..74 from them.
#include "frame_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <array>
#include <string_view>

#include "frame_view_controls.h"
#include "panel_picture.h"
#include "renderings.h"
#include "ui/look/look.h"

namespace quilmar {
namespace {

// System Status bytes above this value mean a healthy attitude-control system.
constexpr double kSystemStatusGoodAbove = 190;
constexpr int kGpsPointerRow = 81;
constexpr int kXhkPointerRow = 82;
constexpr int kJulianRow = 92;

// Frame kinds by their type character; only housekeeping ("S") frames carry values.
struct FrameKind {
  char letter;
  std::string_view description;
};

constexpr std::array<FrameKind, 5> kFrameKinds{{
    {'S', "System Housekeeping Data"},
    {'G', "GPS Data"},
    {'M', "GPS Almanach Data"},
    {'I', "Image Data"},
    {'A', "ADCS Extended Housekeeping Data"},
}};
constexpr std::string_view kUnknownKind = "unknown Data";

// The five faces with solar cells and the current rows that colour them, in painting order.
struct FaceCurrent {
  int row;
  PanelFace face;
};

constexpr std::array<FaceCurrent, 5> kFaceCurrents{{
    {15, PanelFace::kMinusX},  // Solar Side 5
    {17, PanelFace::kPlusY},   // Solar Side 6
    {13, PanelFace::kMinusY},  // Solar Side 4
    {9, PanelFace::kPlusZ},    // Solar Side 2
    {11, PanelFace::kMinusZ},  // Solar Side 3
}};

QString FromBytes(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString FromView(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A control gets the rendered text, or is emptied when the value has none.
void Put(QLineEdit* box, const std::optional<QString>& text) {
  FitText(box, text.value_or(QString()));
}

void Put(QLabel* label, const std::optional<QString>& text) {
  label->setText(text.value_or(QString()));
}

std::string_view DescriptionOf(const FrameRecord* record) {
  if (record != nullptr && record->frameType >= 0 && record->frameType <= 255) {
    for (const FrameKind& kind : kFrameKinds) {
      if (record->frameType == static_cast<unsigned char>(kind.letter)) {
        return kind.description;
      }
    }
  }
  return kUnknownKind;
}

}  // namespace

void FrameView::InitCaptions() {
  for (int row = 0; row < kParameterCount; ++row) {
    controls->names[row]->setText(FromView(kParameterCatalogue[row].name));
    controls->units[row]->setText(FromView(kParameterCatalogue[row].unit));
  }
  for (int row = 0; row <= 3; ++row) {
    EmptyBox(controls->values[row]);
  }
}

void FrameView::ShowFrame(const FrameTable& table, int frameNumber) {
  if (frameNumber == 0) {
    return;
  }
  const bool stored = frameNumber >= 1 && frameNumber <= kFrameTableCapacity &&
                      static_cast<int>(table.records.size()) >= frameNumber;
  const FrameRecord* record = stored ? &table.Record(frameNumber) : nullptr;
  if (record != nullptr) {
    ShowHeader(*record);
  }
  const std::string_view description = DescriptionOf(record);
  controls->label13->setText(FromView(description));
  if (description == kFrameKinds.front().description) {
    ShowValues(*record);
    BlankAbsentSections(*record);
    ColourPanelFaces();
  } else {
    controls->panel->ShowLook({});
    ClearValues();
  }
  if (record != nullptr) {
    ShowFooter(*record);
  }
  EmptyBox(controls->text8);
}

void FrameView::ShowHeader(const FrameRecord& record) {
  FitText(controls->text3[0], FromBytes(record.weekday));
  FitText(controls->text3[1], FromBytes(record.dateTime));  // a garbled clock runs long
  FitText(controls->text3[2], QString::number(record.frameNumber));
  if (record.frameType >= 0 && record.frameType <= 255) {
    FitText(controls->text5, QString(QChar(record.frameType)));
  }
}

void FrameView::ShowFooter(const FrameRecord& record) {
  FitText(controls->text6, QString::number(record.primaryCounter));
  FitText(controls->text7, QString::number(record.secondaryCounter));
  FitText(controls->text9, FromBytes(record.comText));
}

void FrameView::ShowValues(const FrameRecord& record) {
  const auto& values = record.values;
  for (int row = 0; row < kParameterCount; ++row) {
    SetGreyed(row, false);
    Put(controls->values[row], RenderValue(RowRendering(row), values[row]));
  }
  ColourSystemStatus(values[kSystemStatusRow]);
  Put(controls->label14, MemoryFillText(values[kGpsPointerRow], kGpsMemoryStart));
  Put(controls->label15, MemoryFillText(values[kXhkPointerRow], kXhkMemoryStart));
  Put(controls->text4, J2000DateText(values[kJulianRow]));
}

// A section the frame did not carry has 0 in its marker row: its other boxes go empty, and
// without the ADCS section so do the fields derived from it.
void FrameView::BlankAbsentSections(const FrameRecord& record) {
  for (const SectionInfo& section : kSections) {
    if (record.values[section.firstRow] != 0) {
      continue;
    }
    for (int row = section.firstRow + 1; row <= section.lastRow; ++row) {
      EmptyBox(controls->values[row]);
    }
    if (section.section == Section::kAdcs) {
      ClearAdcsFields();
    }
  }
}

void FrameView::ClearValues() {
  for (int row = 0; row < kParameterCount; ++row) {
    SetGreyed(row, false);
    SetLimitMark(row, LimitLevel::kNormal, LimitDirection::kNone, QString());
    EmptyBox(controls->values[row]);
  }
  ClearAdcsFields();
}

void FrameView::ClearAdcsFields() {
  SetValueBoxColour(kSystemStatusRow, kLightGrey);
  EmptyBox(controls->text4);
  controls->label14->setText(QString());  // unlike clear(), repaints only a changed label
  controls->label15->setText(QString());
}

void FrameView::ShowLatestSection(const FrameRecord& from, Section section) {
  const SectionInfo& info = SectionInfoOf(section);
  for (int row = info.firstRow; row <= info.lastRow; ++row) {
    SetGreyed(row, true);
    Put(controls->values[row], RenderValue(RowRendering(row), from.values[row]));
  }
  if (section == Section::kAdcs) {
    const auto& values = from.values;
    ColourSystemStatus(values[kSystemStatusRow]);
    Put(controls->label14, MemoryFillText(values[kGpsPointerRow], kGpsMemoryStart));
    Put(controls->label15, MemoryFillText(values[kXhkPointerRow], kXhkMemoryStart));
    Put(controls->text4, J2000DateText(values[kJulianRow]));
  }
}

bool FrameView::IsGreyed(int row) const {
  return row >= 0 && row < kParameterCount && greyed[static_cast<std::size_t>(row)];
}

// The text colour changes only when it must: a palette change costs a repaint of the box.
void FrameView::SetGreyed(int row, bool on) {
  bool& state = greyed[static_cast<std::size_t>(row)];
  if (state == on) {
    return;
  }
  state = on;
  QLineEdit* box = controls->values[static_cast<std::size_t>(row)];
  QPalette look = box->palette();
  look.setColor(QPalette::Text, on ? kCaptionGrey : QColor(Qt::black));
  box->setPalette(look);
}

void FrameView::ColourSystemStatus(double systemStatus) {
  SetValueBoxColour(kSystemStatusRow,
                    systemStatus > kSystemStatusGoodAbove ? kLightGreen : kLightRed);
}

// The faces follow the current boxes as shown, read back with the regional separator; an
// empty box leaves its face in the reset look.
void FrameView::ColourPanelFaces() {
  const QLocale locale;
  std::array<FaceFill, kFaceCurrents.size()> fills;
  std::size_t count = 0;
  for (const FaceCurrent& faceCurrent : kFaceCurrents) {
    bool ok = false;
    const double current = locale.toDouble(controls->values[faceCurrent.row]->text(), &ok);
    if (!ok) {
      continue;
    }
    if (const std::optional<QColor> colour = PanelColour(current)) {
      fills[count++] = {faceCurrent.face, *colour};
    }
  }
  controls->panel->ShowLook(std::span(fills.data(), count));
}

void FrameView::ResetPanel() { controls->panel->Reset(); }

void FrameView::ClearFrame() {
  for (QLineEdit* box : controls->text3) {
    EmptyBox(box);
  }
  for (QLineEdit* box :
       {controls->text5, controls->text6, controls->text7, controls->text8, controls->text9}) {
    EmptyBox(box);
  }
  controls->label13->setText(QString());
  ClearValues();
  controls->panel->Reset();
}

}  // namespace quilmar
