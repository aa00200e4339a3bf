// Program constants shown in the main window's title and the Info window.
#pragma once

namespace quilmar {

inline constexpr char kVersionText[] = "3.03";
inline constexpr char kReleaseDateText[] = "17 April 2009";

}  // namespace quilmar
