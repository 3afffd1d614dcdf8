#pragma once
// The Options dialog: which kinds of file a run encodes, the extra extensions that count
// as ASP pages, the ASP switch and the two default script languages; below them, in the
// frame "Runs", how a run goes about its work: only files that changed, removing what
// it wrote for sources that are gone, verifying, the encoder's time limit, files at once
// and patterns left out of every site. It keeps no state: it fills its controls from the
// settings store when it opens and OK writes them back, every check box, text box and
// combo box under its own control name; the two spin boxes and the pattern field under
// the keys the run reads ("EncoderTimeout", "Jobs", "txtExclude").

#include <QDialog>

class CheckBox;
class ComboBox;
class LineControl;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class SettingsStore;

class Dialog : public QDialog {
  Q_OBJECT
public:
  // Centred on `parent`, the window that opens it.
  explicit Dialog(SettingsStore& store, QWidget* parent = nullptr);

  QLabel* Label1;
  ComboBox* Combo1;
  QLabel* Label3;
  ComboBox* Combo2;
  QLabel* Label2;
  CheckBox* chkLangDirect;
  LineControl* Line1;
  QGroupBox* Frame1;
  CheckBox* chkASP;
  CheckBox* chkJS;
  CheckBox* chkHTML;
  CheckBox* Check2;
  QLineEdit* txtDefxt;
  QLabel* Label5;
  QLabel* Label4;
  QGroupBox* Frame2;
  CheckBox* chkChanged;
  CheckBox* chkDelete;
  CheckBox* chkVerify;
  QLabel* lblTimeout;
  QSpinBox* spnTimeout;  // "EncoderTimeout"
  QLabel* lblJobs;
  QSpinBox* spnJobs;     // "Jobs"
  QLabel* lblExclude;
  QPlainTextEdit* txtExclude;
  QPushButton* OKButton;
  QPushButton* CancelButton;

protected:
  // Neither button is the default: Enter presses only a focused button. Esc is Cancel.
  void keyPressEvent(QKeyEvent* event) override;

private:
  void BuildControls();
  void BuildFrame();
  void BuildRunFrame();
  void LoadRunFields();
  void SaveRunFields();
  void SetTabOrder();
  void Connect();
  QList<QWidget*> BoundControls() const;

  void Form_Load();
  void OKButton_Click();
  void CancelButton_Click();
  void Combo1_KeyDown();
  void Combo1_KeyUp();
  void Combo2_KeyDown();
  void Combo2_KeyUp();

  SettingsStore& store_;
};
