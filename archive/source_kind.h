// What kind of download a file is, from its first bytes: a KISS capture log, a SatNOGS DB CSV
// download or a SatNOGS DB JSON answer. Text that is none of them is kUnknown, so that it is
// refused with a reason rather than read as a KISS log that holds no frame.
#pragma once

#include <QByteArrayView>

namespace quilmar {

enum class SourceKind { kKissLog, kSatnogsCsv, kSatnogsJson, kUnknown };

// From the first bytes of a file (4 KiB are plenty; fewer when the file is shorter):
// - a KISS log: its first byte is a FEND, or it holds a FEND and binary bytes (KISS command
//   bytes, AX.25 fields) that no text has;
// - SatNOGS JSON: '[' or '{' first, after an optional UTF-8 BOM and white space;
// - SatNOGS CSV: the first data line, after an optional BOM, blank lines and an optional
//   header line ("timestamp|frame"), is TIME|HEX or TIME,HEX (satnogs_reader.h);
// - anything else, an empty file too: kUnknown.
SourceKind DetectSourceKind(QByteArrayView head);

}  // namespace quilmar
