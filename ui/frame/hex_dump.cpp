// The hex dump area: rewrites the whole text on every call, so user edits never last.
#include "hex_dump.h"

#include <QColor>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextOption>
#include <algorithm>

#include "ui/look/look.h"

namespace quilmar {
namespace {

const QColor kHexBlack(0, 0, 0);
const QColor kHexRed(255, 0, 0);

}  // namespace

void AppendColouredText(QTextEdit& area, const QString& text, const QColor& colour) {
  if (text.isEmpty()) {
    return;
  }
  QTextCursor cursor = area.textCursor();
  cursor.clearSelection();
  QTextCharFormat format;
  format.setForeground(colour);
  cursor.insertText(text, format);
  area.setTextCursor(cursor);
}

void ShowHexDump(QTextEdit& area, const FrameTable& table, int frameNumber, int first, int last) {
  // One edit block: the document is laid out once, not after every piece.
  QTextCursor batch(area.document());
  batch.beginEditBlock();
  batch.select(QTextCursor::Document);
  batch.removeSelectedText();
  area.setTextCursor(batch);
  if (frameNumber >= 1 && frameNumber <= kFrameTableCapacity) {
    const std::string& hex = table.Record(frameNumber).hexDump;
    const QString text = QString::fromLatin1(hex.data(), static_cast<qsizetype>(hex.size()));
    if (first == 0 && last == 0) {
      AppendColouredText(area, text, kHexBlack);
    } else {
      const qsizetype size = text.size();
      const qsizetype redStart = std::clamp<qsizetype>(first - 1, 0, size);
      const qsizetype redEnd = std::clamp<qsizetype>(last, redStart, size);
      AppendColouredText(area, text.left(redStart), kHexBlack);
      AppendColouredText(area, text.mid(redStart, redEnd - redStart), kHexRed);
      AppendColouredText(area, text.mid(redEnd), kHexBlack);
    }
  }
  batch.endEditBlock();
}

void SetUpHexDumpArea(QTextEdit& area) {
  area.setReadOnly(true);
  // Every rewrite would otherwise pile up on the undo stack.
  area.setUndoRedoEnabled(false);
  area.setFont(MonoFont(14.25, true));
  area.setLineWrapMode(QTextEdit::WidgetWidth);
  area.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  area.setAcceptRichText(false);
  SetPaletteColour(&area, QPalette::Base, kLightGrey);
}

}  // namespace quilmar
