#include "frmSplash.h"

#include "about_model.h"

#include "controls.h"
#include "look.h"
#include "twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <qdrawutil.h>

namespace {

// The splash's fonts grow with its layout, so it keeps its proportions on a desktop with
// a larger default font.
QFont SplashFont(const QString& family, double points, bool bold) {
  return NamedFont(family, points * LayoutScale(), bold);
}

QLabel* MakeLabel(QWidget* parent, const QRect& rect, const QFont& font, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(rect);
  label->setFont(font);
  return label;
}

// A label sized to its text, keeping its left edge, or its right edge when right-aligned.
void FitToText(QLabel* label) {
  const QRect before = label->geometry();
  label->adjustSize();
  if (label->alignment() & Qt::AlignRight) label->move(before.right() - label->width() + 1, before.top());
}

}  // namespace

frmSplash::frmSplash(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSplash"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setFixedSize(TwipsSize(7380, 2355));
  BuildControls();
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(2000);
  connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
  connect(Frame1, &ClickFrame::Click, this, &frmSplash::Frame1_Click);
  Timer1->start();
  Form_Load();
}

void frmSplash::BuildControls() {
  Frame1 = new ClickFrame(this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setGeometry(TwipsRect(60, 60, 7275, 2250));
  imgLogo = new QLabel(Frame1);
  imgLogo->setObjectName(QStringLiteral("imgLogo"));
  imgLogo->setGeometry(TwipsRect(360, 270, 600, 540));
  imgLogo->setScaledContents(true);
  imgLogo->setPixmap(ProgramIcon().pixmap(QSize(48, 48)));
  const QString tahoma = QStringLiteral("Tahoma");
  lblCompanyProduct = MakeLabel(Frame1, TwipsRect(1320, 180, 3090, 435), SplashFont(tahoma, 18, true), "lblCompanyProduct");
  lblProductName = MakeLabel(Frame1, TwipsRect(1320, 615, 1590, 495), SplashFont(tahoma, 20.25, true), "lblProductName");
  lblVersion = MakeLabel(Frame1, TwipsRect(5970, 1305, 885, 285), SplashFont(QStringLiteral("Arial"), 12, true), "lblVersion");
  lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblCopyright = MakeLabel(Frame1, TwipsRect(4560, 1665, 2415, 255), SplashFont(tahoma, 8.25, false), "lblCopyright");
  lblCopyright->setText(QString::fromStdString(SplashFormLoad().lblCopyright));
  lblCompany = MakeLabel(Frame1, TwipsRect(4560, 1875, 2415, 255), SplashFont(tahoma, 8.25, false), "lblCompany");
  lblCompany->setText(QString::fromStdString(SplashFormLoad().lblCompany));
}

void frmSplash::Form_Load() {
  const SplashTexts texts = SplashFormLoad();
  lblVersion->setText(QString::fromStdString(texts.lblVersion));
  lblProductName->setText(QString::fromStdString(texts.lblProductName));
  lblCompanyProduct->setText(QString::fromStdString(texts.lblCompanyProduct));
  for (QLabel* label : {lblCompanyProduct, lblProductName, lblVersion}) FitToText(label);
}

void frmSplash::Unload() {
  Timer1->stop();
  accept();
}

void frmSplash::Form_KeyDown() { Unload(); }
void frmSplash::Form_KeyPress() { Unload(); }
void frmSplash::Form_MouseDown() { Unload(); }
void frmSplash::Frame1_Click() { Unload(); }
void frmSplash::Timer1_Timer() { Unload(); }

// A key going down closes the splash; a character key is also a key press.
void frmSplash::keyPressEvent(QKeyEvent* event) {
  event->accept();
  if (event->text().isEmpty()) {
    Form_KeyDown();
  } else {
    Form_KeyPress();
  }
}

void frmSplash::mousePressEvent(QMouseEvent* event) {
  event->accept();
  Form_MouseDown();
}

// The dialog border the window has without a title bar.
void frmSplash::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  qDrawWinPanel(&painter, rect(), palette(), false);
}
