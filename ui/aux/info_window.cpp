// The Info window: the program's title, its version line and its icon.
#include "ui/aux/info_window.h"

#include <QLabel>

#include "core/version.h"
#include "ui/aux/aux_look.h"
#include "ui/look/look.h"
#include "ui/look/twips.h"

namespace quilmar {

QString VersionLine() {
  return QStringLiteral("Version ") + QLatin1String(kVersionText) + QStringLiteral("    (") +
         QLatin1String(kReleaseDateText) + QLatin1Char(')');
}

InfoWindow::InfoWindow() {
  // The title bar text starts with a blank, as it always has.
  SetUpFixedWindow(this, QStringLiteral("Form3"), QStringLiteral(" Info"), 4275, 1995, kLightGrey);
  setWindowIcon(ProgramIcon());

  AddLabel(this, QStringLiteral("Label1"), QStringLiteral("QUILMAR-1 HK Telemetry Decoder"), 240,
           240, 3735, 255, SansFont(9.75, true), kLightGrey);
  QLabel* version = AddLabel(this, QStringLiteral("Label2"), VersionLine(), 240, 600, 3735, 255,
                             DialogFont(), kLightGrey);
  version->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  // The rule runs from (120, 960) to (4200, 960): one pixel high, in the window text colour.
  auto* rule = new QWidget(this);
  rule->setObjectName(QStringLiteral("Line1"));
  SetPaletteColour(rule, QPalette::Window, Qt::black);
  rule->setAutoFillBackground(true);
  rule->setGeometry(Px(120), Px(960), Px(4200) - Px(120) + 1, 1);

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("Image1"));
  icon->setPixmap(RenderArtwork(QString::fromLatin1(kProgramIconPath), QSize(Px(540), Px(540))));
  PlaceInTwips(icon, 3600, 1200, 540, 540);
}

void InfoWindow::Open() { BringToFront(this); }

}  // namespace quilmar
