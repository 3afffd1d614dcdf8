#include "log_box.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

LogBox::LogBox(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A long run's log is several megabytes; an undo history of it would be as large again.
  setUndoRedoEnabled(false);
}

void LogBox::Append(const QString& entry) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertBlock();
  cursor.insertText(entry);
}

QString LogBox::Text() const {
  QString text;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    if (block != document()->begin()) text += QStringLiteral("\r\n");
    text += block.text();
  }
  return text;
}

bool LogBox::ScrollFromTop(int lines) {
  QScrollBar* bar = verticalScrollBar();
  const int before = bar->value();
  bar->setValue(qBound(0, lines, bar->maximum()));
  return bar->value() != before;
}
