// `quilmar-hk-archive [--archive URL] serve [--listen HOST:PORT] [--token-file FILE]
// [--limits FILE] [--site DIR]`: the archive served read-only over HTTP until the process is
// ended. The archive command hands its arguments here first.
#pragma once

#include <QStringList>
#include <optional>

namespace quilmar {

inline constexpr char kServeUsage[] =
    "       quilmar-hk-archive [--archive URL] serve [--listen HOST:PORT] [--token-file FILE]"
    " [--limits FILE] [--site DIR]\n";
inline constexpr char kDefaultListen[] = "127.0.0.1:8470";

// The exit status of `serve` when the arguments name that command (after any --archive URL);
// nothing for the archive command's other commands.
std::optional<int> RunServeIfAsked(const QStringList& arguments);

}  // namespace quilmar
