#pragma once
// The path field above a folder list: shows the list's folder and takes a typed or
// pasted path. Enter asks to open it; the text is taken as the user means it: quotes
// around it, a file:// URL, a leading ~ and a path relative to the shown folder are all
// understood (TypedFolder).

#include <QLineEdit>

class QMimeData;

class PathField : public QLineEdit {
  Q_OBJECT
public:
  explicit PathField(QWidget* parent);

  // Shows `path` as the field's folder (the list opened it).
  void ShowFolder(const QString& path);
  // The folder the list shows, without changing the text.
  void SetShown(const QString& path) { shown_ = path; }
  // The folder the field names now, typed or shown, in the folder lists' form.
  QString Folder() const;
  // True while the text is not the folder shown by the list (typed, not opened yet).
  bool Typed() const { return text() != shown_; }

signals:
  // Enter was pressed: open `folder`.
  void Open(const QString& folder);

private:
  QString shown_;
};

// The folder `text` names, read as a person types or pastes it, relative to `base`;
// empty for an empty text (the model's TypedFolder, with the user's home folder).
QString TypedFolder(const QString& text, const QString& base);

// The folder a drop from a file manager names: the first local item, or the folder that
// holds it when it is a file; empty when the drop names nothing on this machine.
QString DroppedFolder(const QMimeData* mime);
