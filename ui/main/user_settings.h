// The platform's settings store of the window program (~/.config/quilmar/quilmar-hk.conf on
// Linux): the recent logs and the last live-session choices. The window position stays in
// its own two-line file of the current directory.
#pragma once

#include <QSettings>
#include <memory>

namespace quilmar {

inline std::unique_ptr<QSettings> OpenUserSettings() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("quilmar"), QStringLiteral("quilmar-hk"));
}

}  // namespace quilmar
