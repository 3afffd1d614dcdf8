#pragma once
// The splash window shown at start-up: the program's name, maker and version. It closes
// after two seconds, at the first key, at a click on its margin or on the frame's empty
// area; clicks on the labels and the logo do nothing.

#include <QDialog>

class ClickFrame;
class QLabel;
class QTimer;

class frmSplash : public QDialog {
  Q_OBJECT
public:
  explicit frmSplash(QWidget* parent = nullptr);

  ClickFrame* Frame1;
  QLabel* imgLogo;
  QLabel* lblCompanyProduct;
  QLabel* lblProductName;
  QLabel* lblVersion;
  QLabel* lblCopyright;
  QLabel* lblCompany;
  QTimer* Timer1;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void BuildControls();
  void Unload();

  void Form_Load();
  void Form_KeyDown();
  void Form_KeyPress();
  void Form_MouseDown();
  void Frame1_Click();
  void Timer1_Timer();
};
