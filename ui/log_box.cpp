#include "log_box.h"

#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {

QTextCharFormat CharFormatOf(EntryLook look) {
  QTextCharFormat format;
  if (look == EntryLook::Failed || look == EntryLook::FailedSummary) format.setForeground(QColor(0xB0, 0x00, 0x00));
  if (look == EntryLook::Summary || look == EntryLook::FailedSummary) format.setFontWeight(QFont::Bold);
  return format;
}

QTextBlockFormat BlockFormatOf(EntryLook look) {
  QTextBlockFormat format;
  if (look == EntryLook::Failed) format.setBackground(QColor(0xFF, 0xE4, 0xE4));
  return format;
}

}  // namespace

EntryLook LookOf(const QString& entry, bool failed) {
  if (failed) return EntryLook::Failed;
  static const QRegularExpression summary(QStringLiteral("^(Done|Stopped): \\d+ files, (\\d+) failed$"));
  if (entry.startsWith(QLatin1String("Done: ")) || entry.startsWith(QLatin1String("Stopped: "))) {
    if (const QRegularExpressionMatch m = summary.match(entry); m.hasMatch()) {
      return m.captured(2) == QLatin1String("0") ? EntryLook::Summary : EntryLook::FailedSummary;
    }
  }
  return EntryLook::Plain;
}

LogBox::LogBox(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setFocusPolicy(Qt::StrongFocus);
  setTabChangesFocus(true);
  setAcceptDrops(false);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A long run's log is several megabytes; an undo history of it would be as large again.
  setUndoRedoEnabled(false);
  frame_.start();
}

void LogBox::Append(const QString& entry, EntryLook look) { pending_.append({entry, look}); }

void LogBox::MarkLastFailed() {
  if (!pending_.isEmpty()) pending_.last().look = EntryLook::Failed;
}

bool LogBox::AtEnd() const {
  const QScrollBar* bar = verticalScrollBar();
  return bar->value() >= bar->maximum();
}

void LogBox::Flush() {
  frame_.restart();
  if (pending_.isEmpty()) return;
  const bool follow = AtEnd();
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.movePosition(QTextCursor::End);
  for (const Pending& p : pending_) {
    const QTextCharFormat format = CharFormatOf(p.look);
    cursor.insertBlock(BlockFormatOf(p.look), format);
    cursor.insertText(p.text, format);
  }
  cursor.endEditBlock();
  pending_.clear();
  if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

bool LogBox::FlushIfDue() {
  if (frame_.elapsed() < kFrameMs) return false;
  Flush();
  return true;
}

void LogBox::Clear() {
  pending_.clear();
  clear();
}

QString LogBox::Text() const {
  QString text;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    if (block != document()->begin()) text += QStringLiteral("\r\n");
    text += block.text();
  }
  for (const Pending& p : pending_) text += QStringLiteral("\r\n") + p.text;
  return text;
}
