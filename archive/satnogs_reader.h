// SatNOGS DB downloads: the CSV download ("YYYY-MM-DD HH:MM:SS|HEX", one frame a line) and
// the telemetry API's JSON (a list of objects with frame, timestamp, observer, ...). Each
// frame is the AX.25 frame as hex, without the KISS command byte.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quilmar {

struct SatnogsFrame {
  QByteArray ax25;  // the frame's bytes, from the hex text
  std::optional<QDateTime> receivedAt;
  QString observer;       // empty when the source does not name one
  std::int64_t position;  // line (CSV) or element (JSON), from 1
};

// Called per frame; returning false stops the read (a database error).
using SatnogsVisitor = std::function<bool(const SatnogsFrame& frame)>;

// One CSV line, its end stripped; nullopt with the reason when it is malformed.
std::optional<SatnogsFrame> ParseSatnogsCsvLine(QByteArrayView line, QString& reason);

// Reads the whole device. A malformed line or element is a warning ("line N: reason") and is
// skipped. False when the visitor stopped or the file is not readable JSON (reason in error).
bool ReadSatnogsCsv(QIODevice& device, const SatnogsVisitor& visit, QStringList& warnings,
                    QString& error);
bool ReadSatnogsJson(QIODevice& device, const SatnogsVisitor& visit, QStringList& warnings,
                     QString& error);

}  // namespace quilmar
