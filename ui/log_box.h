#pragma once
// The log box: read-only (selectable and copyable), wrapping, with a vertical scroll bar;
// Tab leaves it. Entries are queued and shown in one edit per frame (Flush), so a run of
// thousands of files costs one layout and one repaint per frame instead of per file.
// The view follows the log's end, like a terminal, unless the user has scrolled up to
// read. Failed entries and the run's summary stand out by colour; the text itself is
// exactly the entries, lines joined by CR LF.

#include "encrypt_face.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QStringList>

// How an entry of the run's log is shown: `failed` as the run flagged it; the summary by
// its text.
EntryLook LookOf(const QString& entry, bool failed = false);

class LogBox : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit LogBox(QWidget* parent);

  // Queues a line break, then `entry`; shown at the next Flush.
  void Append(const QString& entry, EntryLook look = EntryLook::Plain);
  // The entry appended last, not shown yet, is a failure.
  void MarkLastFailed();
  // Shows every queued entry in one edit and keeps the end in view when it was in view.
  void Flush();
  // Flush, at most once per frame (kFrameMs). True when it flushed.
  bool FlushIfDue();
  // Empties the log, the queue included.
  void Clear();
  // The whole log, queued entries included, lines joined by CR LF.
  QString Text() const;
  // True when the view shows the log's last line.
  bool AtEnd() const;

  static constexpr int kFrameMs = 50;

private:
  struct Pending {
    QString text;
    EntryLook look;
  };
  QList<Pending> pending_;
  QElapsedTimer frame_;
};
