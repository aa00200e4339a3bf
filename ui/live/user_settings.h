// The platform's settings store of the window program (~/.config/quilmar/quilmar-hk.conf on
// Linux): the recent logs, the last live-session choices and the window's archive. The window
// position stays in its own two-line file of the current directory.
#pragma once

#include <QSettings>
#include <functional>
#include <memory>

namespace quilmar {

inline std::unique_ptr<QSettings> OpenUserSettings() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("quilmar"), QStringLiteral("quilmar-hk"));
}

// Opens the store that holds the window's archive choices: the user's settings store, or a
// file of its own where a test keeps them.
using SettingsOpener = std::function<std::unique_ptr<QSettings>()>;

// The archive chosen with Archive > Open Archive..., the callsign of the receiving station,
// which Archive > Add Logs... and the Connect dialog share, and whether a live session adds
// its frames to the archive.
inline constexpr char kArchiveLocationKey[] = "archive/location";
inline constexpr char kArchiveStationKey[] = "archive/station";
inline constexpr char kArchiveLiveFramesKey[] = "archive/addLiveFrames";

}  // namespace quilmar
