#pragma once
// The Options dialog: Qt's face of DialogModel (window/options_model.h), which says what
// each control shows from the store, what OK stores and what it refuses. The controls,
// their captions, places and Tab order are the model's table. Enter presses OK wherever
// the focus is (in the pattern field it starts a new line), Esc is Cancel. On a screen
// too small for it the dialog scrolls.

#include "options_model.h"

#include <QDialog>

class CheckBox;
class ComboBox;
class LineControl;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
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

  QScrollArea* scroller;  // holds the page of controls; scrolls only on a small screen

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  void BuildControls(QWidget* page);
  void FitScreen(QWidget* page);
  void SetTabOrder();
  void Connect();
  OptionsValues Values() const;

  void Form_Load();
  void OKButton_Click();
  void CancelButton_Click();
  void Combo1_KeyDown();
  void Combo1_KeyUp();
  void Combo2_KeyDown();
  void Combo2_KeyUp();

  DialogModel model_;
};
