// The Info window: the program's title, its version line and its icon.
#pragma once

#include <QWidget>

namespace quilmar {

// "Version 3.03    (17 April 2009)": the version line the Info window shows.
QString VersionLine();

class InfoWindow : public QWidget {
  Q_OBJECT

 public:
  InfoWindow();

  // Shows the window, or brings an open one to the front.
  void Open();
};

}  // namespace quilmar
