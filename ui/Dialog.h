#pragma once
// The Options dialog: which kinds of file a run encodes, the extra extensions that count
// as ASP pages, the ASP switch and the two default script languages. It keeps no state:
// it fills its controls from the settings store when it opens and OK writes them back,
// every check box, text box and combo box under its own control name.

#include <QDialog>

class CheckBox;
class ComboBox;
class LineControl;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
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
  QPushButton* OKButton;
  QPushButton* CancelButton;

protected:
  // Neither button is the default: Enter presses only a focused button. Esc is Cancel.
  void keyPressEvent(QKeyEvent* event) override;

private:
  void BuildControls();
  void BuildFrame();
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
