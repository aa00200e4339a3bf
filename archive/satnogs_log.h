// A SatNOGS DB download read as a log: the export command and the window open a download as
// they open a KISS capture log, its frames (with the FCS a station kept taken off) in the
// order of their reception times, frames of one time in the file's order. Any other file is
// read as the KISS log it is expected to be.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "core/kiss_reader.h"

namespace quilmar {

// The source the core reader reads for the file at path. A SatNOGS download that cannot be
// read gives a source whose Error() says why and which reads nothing; its warnings (lines
// skipped) go to warnings.
std::unique_ptr<ByteSource> OpenLogOrDownload(const QString& path, QStringList& warnings);

}  // namespace quilmar
