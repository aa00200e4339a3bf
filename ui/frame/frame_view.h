// The frame view: the 93 value rows on the tabs "EPS / TCS", "COM / CDHS" and "ADCS", the
// header boxes under the tabs, the derived fields and the panel picture. ShowFrame puts one
// stored frame on these controls; it keeps no state, the controls are its only memory.
#pragma once

#include <QColor>
#include <QObject>
#include <array>

#include "core/frame_table.h"
#include "limits/limit_set.h"

class QString;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace quilmar {

class PanelPicture;

// The ADCS System Status row, whose value box shows the byte's health in its colour.
inline constexpr int kSystemStatusRow = 69;

class FrameView : public QObject {
  Q_OBJECT
 public:
  // Builds every control at its twip position: value rows (button, name, value box, unit),
  // frames, beacon text, J2000 date box, memory fill labels, panel picture, spacecraft
  // drawing and the six picture buttons on the tabs; header boxes, captions and the frame
  // description on clientArea; Text5 ("ID") and Text8 ("frame type") in the widened area
  // right of the tabs.
  // Tab positions were designed from the top-left of the tab control, tab strip included: the
  // three tab widgets must have their origin there (the shell's tab canvases do).
  // The view becomes a child of clientArea, so the window's teardown also ends it.
  FrameView(QWidget* epsTcsTab, QWidget* comCdhsTab, QWidget* adcsTab, QWidget* clientArea);
  ~FrameView() override;

  // InitParameterCatalogue's window part: name and unit captions of rows 0..92, then empties
  // the value boxes of rows 0..3.
  void InitCaptions();
  // Shows record frameNumber (1-based) of table; 0 changes nothing.
  void ShowFrame(const FrameTable& table, int frameNumber);
  // The six faces in their reset look (a load starts with this).
  void ResetPanel();
  // Empties every box the view writes and resets the panel: what a log without frames shows,
  // so no frame of an earlier log stays on screen.
  void ClearFrame();

  QLineEdit* ValueBox(int row) const;            // Text1(row)
  QRadioButton* ParameterButton(int row) const;  // Option2(row)
  PanelPicture* Panel() const;

  // Back colour of Text1(row), kept in the box's palette as QPalette::Base (no style sheet), so
  // palette().color(QPalette::Base) reads it back. Rows outside 0..92 are ignored (invalid
  // colour on reading).
  void SetValueBoxColour(int row, const QColor& colour);
  QColor ValueBoxColour(int row) const;
  // Colours the System Status box: green above 190, red otherwise, whatever the status byte's
  // text could show.
  void ColourSystemStatus(double systemStatus);
  // A section the frame on display did not carry, filled with the values of from, the last
  // frame that did, in grey so they are not read as the shown frame's own. ShowFrame puts the
  // boxes back to black.
  void ShowLatestSection(const FrameRecord& from, Section section);
  bool IsGreyed(int row) const;

  // A value beyond its limits: its box takes the level's colour over its own (grey, the
  // charted parameter's light yellow, the System Status colour), a mark before the text that
  // does not rely on colour ("▲" high, "▼" low, "!" a state or NaN) and what decided it in
  // its tooltip. A normal level gives the box back its own colour. The level and the note
  // also stay on the box as properties, for the windows that follow it.
  void SetLimitMark(int row, LimitLevel level, LimitDirection direction, const QString& note);
  LimitLevel LimitLevelOf(int row) const;
  QString LimitMarkOf(int row) const;

 signals:
  void parameterButtonClicked(int row);    // Option2(row) clicked by the user
  void statusBitWindowRequested(int row);  // a picture button beside rows 69..74 clicked

 private:
  void ShowHeader(const FrameRecord& record);
  void ShowFooter(const FrameRecord& record);
  void ShowValues(const FrameRecord& record);
  void BlankAbsentSections(const FrameRecord& record);
  void ClearValues();
  void ClearAdcsFields();
  void ColourPanelFaces();
  void SetGreyed(int row, bool on);
  void ApplyBoxColour(int row);

  struct Controls;
  Controls* controls;  // owned; the widgets themselves belong to their Qt parents
  std::array<bool, kParameterCount> greyed{};      // rows showing an earlier frame's value
  std::array<QColor, kParameterCount> ownColours;  // as SetValueBoxColour gave them
  std::array<LimitLevel, kParameterCount> limitLevels{};
};

}  // namespace quilmar
