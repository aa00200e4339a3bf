// Where the export's table goes: standard output, or a file that is replaced only once the
// whole table has reached the disk, so a full disk or a file-size limit never leaves the
// user with a cut-off table in place of the good one.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace quilmar {

// Writes the whole table to out; false when the stream failed.
using TableWriter = std::function<bool(std::ostream& out)>;

// Writes to standard output through one large buffer; false with the reason in error.
bool WriteToStandardOutput(const TableWriter& write, std::string& error);

// Writes a regular file (new or existing, also through a symlink) into a temporary file in
// the same folder, flushes it to the disk and renames it over path. On failure path is left
// as it was and the temporary file is removed. An existing file keeps its mode; a new one
// gets 0666 less the umask. A device or FIFO (/dev/null, a pipe) is written in place.
bool WriteFileReplacing(const std::string& path, const TableWriter& write, std::string& error);

// True when both paths name one existing file (same device and inode), however they are
// spelled: another path, a hard link or a symlink.
bool IsSameFile(const std::string& first, const std::string& second);

// True also for two names of one file that does not exist yet ("pass.kss", "./pass.kss", a
// name through a symlinked folder): both would be created as one file.
bool NameSameFile(const std::string& first, const std::string& second);

}  // namespace quilmar
