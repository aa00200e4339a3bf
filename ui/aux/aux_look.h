// Window frame, artwork and label helpers shared by the auxiliary windows.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

class QLabel;
class QWidget;

namespace quilmar {

inline constexpr char kProgramIconPath[] = ":/quilmar/icon.svg";
inline constexpr char kInfoSymbolPath[] = ":/quilmar/info.svg";

// A top-level window with a fixed single border and only a close box, its client area given
// in twips. It is parentless so that it outlives the main window's close box, and it is
// destroyed when closed so that the next opening starts from its designed state.
void SetUpFixedWindow(QWidget* window, const QString& name, const QString& title,
                      int clientWidthTwips, int clientHeightTwips, const QColor& background);

// An SVG from the program's resources drawn at the given size in device-independent pixels,
// sharp on high-density screens.
QPixmap RenderArtwork(const QString& path, QSize size);

// The program icon at the sizes window managers ask for.
QIcon ProgramIcon();

// A fully transparent icon: the status windows carry none, and an empty QIcon would fall back
// to the application's icon.
QIcon NoWindowIcon();

// Shows a window that is not open yet, or brings an open one to the front.
void BringToFront(QWidget* window);

// A plain label placed in twips, painting its own background like the designed controls do.
QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, int left, int top,
                 int width, int height, const QFont& font, const QColor& background);

}  // namespace quilmar
