#include "Dialog.h"

#include "controls.h"
#include "look.h"
#include "run_text.h"
#include "twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// What the dialog shows for a key that is not stored: the run's own defaults, so that
// what the dialog shows is what a run does.
const QString kTextDefault = QStringLiteral("*.inc");
QString ComboDefault(const QString& name) {
  return name.compare(QStringLiteral("Combo2"), Qt::CaseInsensitive) == 0 ? QStringLiteral("JScript")
                                                                          : QStringLiteral("VBScript");
}

// A stored check-box text as the box's value: "2" greys it, any other text the run
// takes as set sets it, everything else clears it.
int CheckValueOf(const QString& stored) {
  if (stored.trimmed() == QStringLiteral("2")) return 2;
  return SettingIsSet(RunText(stored)) ? 1 : 0;
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLabel* MakeLabel(const QString& caption, QWidget* parent, const QRect& rect, const char* name) {
  auto* label = Named(new QLabel(caption, parent), name);
  label->setGeometry(rect);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

}  // namespace

Dialog::Dialog(SettingsStore& store, QWidget* parent) : QDialog(parent), store_(store) {
  setObjectName(QStringLiteral("Dialog"));
  setWindowTitle(QStringLiteral("Options"));
  setWindowIcon(ProgramIcon());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(TwipsSize(6030, 3930));
  BuildControls();
  SetTabOrder();
  Connect();
  Form_Load();
}

void Dialog::BuildControls() {
  Label1 = MakeLabel(QStringLiteral("Default Language for ASP files"), this, TwipsRect(45, 120, 2520, 240), "Label1");
  Combo1 = Named(new ComboBox(this), "Combo1");
  Combo1->setGeometry(TwipsRect(2505, 75, 1845, 315));
  Label3 = MakeLabel(QStringLiteral("Default Language for HTML files"), this, TwipsRect(45, 510, 2520, 240), "Label3");
  Combo2 = Named(new ComboBox(this), "Combo2");
  Combo2->setGeometry(TwipsRect(2505, 465, 1845, 315));
  Combo1->setAccessibleName(Label1->text());
  Combo2->setAccessibleName(Label3->text());
  for (ComboBox* combo : {Combo1, Combo2}) {
    combo->addItem(QStringLiteral("VBScript"), 0);
    combo->addItem(QStringLiteral("JScript"), 0);
    combo->setEditText(QString());
  }
  Label2 = MakeLabel(QStringLiteral("Script blocks with no language defined are assumed to be these languages"),
                     this, TwipsRect(330, 960, 5370, 240), "Label2");
  chkLangDirect = Named(new CheckBox(QStringLiteral("Dont add the '@language' directive to the top of all ASP Pages"), this),
                        "chkLangDirect");
  chkLangDirect->setGeometry(TwipsRect(60, 1245, 5940, 345));
  Line1 = Named(new LineControl(this, TwipsX(-60), TwipsX(5970), TwipsY(1680), 2), "Line1");
  BuildFrame();
  OKButton = Named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
  OKButton->setGeometry(TwipsRect(4755, 75, 1215, 375));
  CancelButton = Named(new QPushButton(QStringLiteral("Cancel"), this), "CancelButton");
  CancelButton->setGeometry(TwipsRect(4755, 525, 1215, 375));
  for (QPushButton* b : {OKButton, CancelButton}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
}

void Dialog::BuildFrame() {
  Frame1 = Named(new QGroupBox(QStringLiteral("File Types"), this), "Frame1");
  Frame1->setGeometry(TwipsRect(30, 1785, 5970, 2100));
  chkASP = Named(new CheckBox(QStringLiteral("Active Server Page (*.ASP) Files"), Frame1), "chkASP");
  chkASP->setGeometry(TwipsRect(300, 300, 2715, 240));
  chkJS = Named(new CheckBox(QStringLiteral("Javascript (*.JS) files"), Frame1), "chkJS");
  chkJS->setGeometry(TwipsRect(300, 645, 2715, 240));
  chkHTML = Named(new CheckBox(QStringLiteral("Standard HTML (*.HTML, HTM) files"), Frame1), "chkHTML");
  chkHTML->setGeometry(TwipsRect(300, 990, 2985, 240));
  Check2 = Named(new CheckBox(QStringLiteral("VBScript (*.VBS) Files"), Frame1), "Check2");
  Check2->setGeometry(TwipsRect(300, 1335, 1950, 240));
  txtDefxt = Named(new QLineEdit(Frame1), "txtDefxt");
  txtDefxt->setGeometry(TwipsRect(300, 1680, 2745, 285));
  txtDefxt->setAccessibleName(QStringLiteral("Other File Extensions that are ASP"));
  Label5 = MakeLabel(QStringLiteral("Other File Extensions that are ASP"), Frame1, TwipsRect(3105, 1725, 2715, 180), "Label5");
  Label4 = MakeLabel(QStringLiteral("All these file types will be encoded. Other files will be copied to the "
                                    "same relative path in the target directory unchanged."),
                     Frame1, TwipsRect(3420, 555, 2505, 840), "Label4");
  Label4->setWordWrap(true);
  Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

// OKButton, CancelButton, chkLangDirect, Combo1, Label1, Label2, Frame1, chkASP, chkJS,
// chkHTML, Check2, Combo2, Label3, Label4, txtDefxt, Label5: the ones that take the focus.
void Dialog::SetTabOrder() {
  QWidget* order[] = {OKButton, CancelButton, chkLangDirect, Combo1, chkASP, chkJS,
                      chkHTML,  Check2,       Combo2,        txtDefxt};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void Dialog::Connect() {
  connect(OKButton, &QPushButton::clicked, this, &Dialog::OKButton_Click);
  connect(CancelButton, &QPushButton::clicked, this, &Dialog::CancelButton_Click);
  connect(Combo1, &ComboBox::KeyDown, this, &Dialog::Combo1_KeyDown);
  connect(Combo1, &ComboBox::KeyUp, this, &Dialog::Combo1_KeyUp);
  connect(Combo2, &ComboBox::KeyDown, this, &Dialog::Combo2_KeyDown);
  connect(Combo2, &ComboBox::KeyUp, this, &Dialog::Combo2_KeyUp);
}

// The dialog's own controls: the parts Qt builds inside a combo box are not among them.
QList<QWidget*> Dialog::BoundControls() const {
  QList<QWidget*> controls;
  for (QWidget* w : findChildren<QWidget*>()) {
    if (!w->objectName().isEmpty() && !qobject_cast<QComboBox*>(w->parentWidget())) controls.append(w);
  }
  return controls;
}

void Dialog::Form_Load() {
  for (QWidget* w : BoundControls()) {
    const QString key = w->objectName();
    if (auto* check = qobject_cast<CheckBox*>(w)) {
      check->SetValue(CheckValueOf(ReadSetting(store_, key, QStringLiteral("0"))));
    } else if (auto* text = qobject_cast<QLineEdit*>(w)) {
      text->setText(ReadSetting(store_, key, kTextDefault));
    } else if (auto* combo = qobject_cast<ComboBox*>(w)) {
      combo->setEditText(ReadSetting(store_, key, ComboDefault(key)));
    }
  }
}

// Every key is written, changed or not.
void Dialog::OKButton_Click() {
  for (QWidget* w : BoundControls()) {
    const QString key = w->objectName();
    if (auto* check = qobject_cast<CheckBox*>(w)) {
      WriteSetting(store_, key, QString::number(check->Value()));
    } else if (auto* text = qobject_cast<QLineEdit*>(w)) {
      WriteSetting(store_, key, text->text());
    } else if (auto* combo = qobject_cast<ComboBox*>(w)) {
      WriteSetting(store_, key, combo->currentText());
    }
  }
  accept();
}

void Dialog::CancelButton_Click() { reject(); }

void Dialog::Combo1_KeyDown() { Combo1->SetLocked(true); }
void Dialog::Combo1_KeyUp() { Combo1->SetLocked(false); }
void Dialog::Combo2_KeyDown() { Combo2->SetLocked(true); }
void Dialog::Combo2_KeyUp() { Combo2->SetLocked(false); }

// Enter presses the button that has the focus and nothing else; Esc is Cancel.
void Dialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
      event->accept();
      return;
    case Qt::Key_Escape:
      event->accept();
      CancelButton->click();
      return;
    default: QDialog::keyPressEvent(event);
  }
}
