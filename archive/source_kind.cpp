// Telling the kinds of download apart; see source_kind.h.
#include "source_kind.h"

#include <algorithm>

#include "satnogs_reader.h"

namespace quilmar {
namespace {

constexpr char kFend = '\xC0';
constexpr QByteArrayView kBom = "\xEF\xBB\xBF";

// A control byte no text file holds (tab, line and page ends aside). A KISS log has them in
// every frame: the command byte 0x00, the AX.25 control and PID fields, binary payload.
bool IsBinaryByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') ||
         byte == 0x7F;
}

// A log starts with a FEND, or after the tail of a frame whose start it missed. A FEND alone
// is not enough: 0xC0 is a letter in Latin-1 text.
bool LooksLikeKissLog(QByteArrayView head) {
  return head.front() == kFend ||
         (head.contains(kFend) && std::any_of(head.begin(), head.end(), IsBinaryByte));
}

bool IsBlank(QByteArrayView line) { return line.trimmed().isEmpty(); }

// The next line of the head from at, which moves past its end (LF, CR or CR LF); complete
// is false for a last line the head may have cut short.
QByteArrayView NextLine(QByteArrayView text, qsizetype& at, bool& complete) {
  const qsizetype start = at;
  const auto end =
      std::find_if(text.begin() + start, text.end(), [](char c) { return c == '\n' || c == '\r'; });
  at = end - text.begin();
  complete = end != text.end();
  if (complete) {
    at += (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1;
  }
  return text.sliced(start, (end - text.begin()) - start);
}

// A data line, or the start of one the head cut short: TIME, separator, hex digits.
bool IsSatnogsCsvLine(QByteArrayView line, bool complete) {
  if (complete) {
    QString reason;
    return ParseSatnogsCsvLine(line.trimmed(), reason).has_value();
  }
  const qsizetype separator = SatnogsCsvSeparator(line);
  if (separator < 0 || !ParseSatnogsTime(line.first(separator))) {
    return false;
  }
  const QByteArrayView hex = line.sliced(separator + 1).trimmed();
  return hex.size() >= 2 && std::all_of(hex.begin(), hex.end(), [](char c) {
           return std::isxdigit(static_cast<unsigned char>(c));
         });
}

bool IsSatnogsCsv(QByteArrayView text) {
  qsizetype at = 0;
  bool complete = false;
  bool headerSeen = false;
  while (at < text.size()) {
    const QByteArrayView line = NextLine(text, at, complete);
    if (IsBlank(line)) {
      continue;
    }
    if (!headerSeen && complete && IsSatnogsCsvHeader(line)) {
      headerSeen = true;
      continue;
    }
    return IsSatnogsCsvLine(line, complete);
  }
  return false;
}

}  // namespace

SourceKind DetectSourceKind(QByteArrayView head) {
  if (head.isEmpty()) {
    return SourceKind::kUnknown;
  }
  if (LooksLikeKissLog(head)) {
    return SourceKind::kKissLog;
  }
  const QByteArrayView text = head.startsWith(kBom) ? head.sliced(kBom.size()) : head;
  const QByteArrayView start = text.trimmed();
  if (start.isEmpty()) {
    return SourceKind::kUnknown;
  }
  if (start.front() == '[' || start.front() == '{') {
    return SourceKind::kSatnogsJson;
  }
  return IsSatnogsCsv(text) ? SourceKind::kSatnogsCsv : SourceKind::kUnknown;
}

}  // namespace quilmar
