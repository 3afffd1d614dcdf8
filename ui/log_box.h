#pragma once
// The log box: multi-line, editable, wrapping, with a vertical scroll bar. The run
// appends entries cheaply (in proportion to the entry, not the log); the log's text is
// the box's lines joined by CR LF, so typed text is part of it.

#include <QPlainTextEdit>

class LogBox : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit LogBox(QWidget* parent);

  // A line break, then `entry`.
  void Append(const QString& entry);
  // The whole log, lines joined by CR LF.
  QString Text() const;
  // Scrolls `lines` lines down from the first line, as far as the box allows; a count
  // below 0 shows the first line. Returns true when the view moved.
  bool ScrollFromTop(int lines);
};
