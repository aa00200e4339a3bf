// The Memory Dump window: an overview of the loaded log as a strip of frame-type coloured
// lines, a colour legend and the frame count.
#include "ui/aux/memory_dump_window.h"

#include <QLabel>
#include <algorithm>

#include "core/frame_table.h"
#include "ui/aux/aux_look.h"
#include "ui/aux/frame_strip.h"
#include "ui/aux/frame_type_legend.h"
#include "ui/look/look.h"
#include "ui/look/twips.h"

namespace quilmar {

namespace {

const QColor kDumpGrey(192, 192, 192);

}  // namespace

MemoryDumpWindow::MemoryDumpWindow(const FrameTable& frameTable,
                                   std::function<void(int frameIndex)> onFrameClicked)
    : table(frameTable), showFrame(std::move(onFrameClicked)) {
  SetUpFixedWindow(this, QStringLiteral("Form2"), QStringLiteral("Memory Dump"), 11460, 3225,
                   kDumpGrey);
  setWindowIcon(NoWindowIcon());

  frameStrip = new FrameStrip(this);
  PlaceInTwips(frameStrip, 120, 120, 11295, 2295);
  BuildLegend();
  countLabel = AddLabel(this, QStringLiteral("Label7"), QString(), 8760, 2640, 2655, 375,
                        SansFont(12, true), kDumpGrey);
  SetPaletteColour(countLabel, QPalette::WindowText, Qt::black);

  Redraw();
  connect(frameStrip, &FrameStrip::frameClicked, this, [this](int frameIndex) {
    // After another load the strip still shows the old log; its lines then name frames the
    // main window no longer has, and a click must not jump to whatever now sits at that index.
    if (showFrame && table.IsCurrent(frameIndex) &&
        frameStrip->ShowsRecord(frameIndex, table.Record(frameIndex))) {
      showFrame(frameIndex);
    }
  });
}

void MemoryDumpWindow::Redraw() {
  frameStrip->Draw(table, frameLevel);
  // An empty table shows no count, not the count of the table before it.
  countLabel->setText(table.frameCount > 0 ? QStringLiteral("%1 frames").arg(table.frameCount)
                                           : QString());
}

void MemoryDumpWindow::SetFrameLevels(std::function<LimitLevel(int frameIndex)> levelOf) {
  frameLevel = std::move(levelOf);
  Redraw();
}

void MemoryDumpWindow::BuildLegend() {
  for (std::size_t i = 0; i < kFrameTypeLegend.size(); ++i) {
    const FrameTypeLegend& entry = kFrameTypeLegend[i];
    auto* box = new QWidget(this);
    box->setObjectName(QStringLiteral("Shape1_%1").arg(i));
    SetPaletteColour(box, QPalette::Window, entry.colour());
    box->setAutoFillBackground(true);
    PlaceInTwips(box, entry.boxLeft, entry.top, kLegendBoxWidthTwips, kLegendBoxHeightTwips);
    QLabel* caption =
        AddLabel(this, QStringLiteral("Label1_%1").arg(i), QString::fromLatin1(entry.caption),
                 entry.captionLeft, entry.top, entry.captionWidth, kLegendCaptionHeightTwips,
                 DialogFont(), kDumpGrey);
    // The dialog font here runs a little wider than the one the legend was laid out for; a
    // caption may grow into the free space after it rather than lose its last letters.
    caption->resize(std::max(caption->width(), caption->sizeHint().width()), caption->height());
  }
}

void MemoryDumpWindow::Open() { BringToFront(this); }

}  // namespace quilmar
