#include "Dialog.h"

#include "controls.h"
#include "exclude_field.h"
#include "look.h"
#include "run_text.h"
#include "twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include <limits>

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

// A part Qt builds inside a control (a combo box's list, a spin box's edit field, a text
// field's viewport), not a control of the dialog.
bool PartOfAnother(const QWidget* w, const QWidget* dialog) {
  for (const QWidget* p = w->parentWidget(); p && p != dialog; p = p->parentWidget()) {
    if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
        qobject_cast<const QAbstractScrollArea*>(p))
      return true;
  }
  return false;
}

QSpinBox* MakeSpinBox(QWidget* parent, const QRect& rect, const char* name, int least, int most) {
  auto* box = Named(new QSpinBox(parent), name);
  box->setGeometry(rect);
  box->setRange(least, most);
  box->setAlignment(Qt::AlignRight);
  return box;
}

// A caption with an Alt letter that moves the focus to `buddy`, which is named after it.
QLabel* MakeBuddyLabel(const QString& caption, QWidget* parent, const QRect& rect, const char* name, QWidget* buddy) {
  QLabel* label = MakeLabel(caption, parent, rect, name);
  label->setBuddy(buddy);
  buddy->setAccessibleName(QString(caption).remove(u'&'));
  return label;
}

}  // namespace

Dialog::Dialog(SettingsStore& store, QWidget* parent) : QDialog(parent), store_(store) {
  setObjectName(QStringLiteral("Dialog"));
  setWindowTitle(QStringLiteral("Options"));
  setWindowIcon(ProgramIcon());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(TwipsSize(6030, 7230));
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
  BuildRunFrame();
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

// Below the classic controls, which keep their places: the settings of newer runs.
void Dialog::BuildRunFrame() {
  Frame2 = Named(new QGroupBox(QStringLiteral("Runs"), this), "Frame2");
  Frame2->setGeometry(TwipsRect(30, 3960, 5970, 3210));
  chkChanged = Named(new CheckBox(QStringLiteral("Only &redo files that changed since the last run"), Frame2), "chkChanged");
  chkChanged->setGeometry(TwipsRect(300, 300, 5550, 240));
  chkDelete = Named(new CheckBox(QStringLiteral("Re&move files this tool wrote earlier whose source is gone"), Frame2),
                    "chkDelete");
  chkDelete->setGeometry(TwipsRect(300, 600, 5550, 240));
  chkVerify = Named(new CheckBox(QStringLiteral("&Verify each encoded file by decoding it"), Frame2), "chkVerify");
  chkVerify->setGeometry(TwipsRect(300, 900, 5550, 240));
  spnTimeout = MakeSpinBox(Frame2, TwipsRect(4140, 1245, 1530, 285), "spnTimeout", 0, std::numeric_limits<int>::max());
  lblTimeout = MakeBuddyLabel(QStringLiteral("Encoder &time limit per file (s, 0 = none)"), Frame2,
                              TwipsRect(300, 1290, 3780, 240), "lblTimeout", spnTimeout);
  // 0, shown as "All cores", is stored as it is: the run takes it as the cores of the
  // machine it runs on, so settings carried to a larger machine use all of its cores.
  spnJobs = MakeSpinBox(Frame2, TwipsRect(4140, 1605, 1530, 285), "spnJobs", 0, kMaxJobs);
  spnJobs->setSpecialValueText(QStringLiteral("All cores"));
  lblJobs = MakeBuddyLabel(QStringLiteral("&Files at once"), Frame2, TwipsRect(300, 1650, 3780, 240), "lblJobs", spnJobs);
  txtExclude = Named(new QPlainTextEdit(Frame2), "txtExclude");
  txtExclude->setGeometry(TwipsRect(300, 2295, 5370, 780));
  txtExclude->setTabChangesFocus(true);
  txtExclude->setLineWrapMode(QPlainTextEdit::NoWrap);
  lblExclude = MakeBuddyLabel(QStringLiteral("&Leave out (ignore patterns, one per line, for every site)"), Frame2,
                              TwipsRect(300, 2010, 5550, 240), "lblExclude", txtExclude);
  txtExclude->setToolTip(QStringLiteral("As in a .quillwardignore file, anchored at the source folder: *.bak, "
                                        ".git/, /drafts/. A site's own ignore files can take one back."));
}

// OKButton, CancelButton, chkLangDirect, Combo1, Label1, Label2, Frame1, chkASP, chkJS,
// chkHTML, Check2, Combo2, Label3, Label4, txtDefxt, Label5: the ones that take the focus;
// then those of Frame2, top to bottom.
void Dialog::SetTabOrder() {
  QWidget* order[] = {OKButton, CancelButton, chkLangDirect, Combo1,     chkASP,  chkJS,
                      chkHTML,  Check2,       Combo2,        txtDefxt,   chkChanged, chkDelete,
                      chkVerify, spnTimeout,  spnJobs,       txtExclude};
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
    if (!w->objectName().isEmpty() && !PartOfAnother(w, this)) controls.append(w);
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
  LoadRunFields();
}

// The numbers as a run would take them: a stored value out of range or not a number is
// shown (and written back by OK) as what the run makes of it.
void Dialog::LoadRunFields() {
  const RunSettings run = LoadRunSettings(store_);
  spnTimeout->setValue(run.TimeoutSeconds);
  // A number of files the run would not take (none stored, 0, not a number) is the cores.
  bool isNumber = false;
  const int stored = ReadSetting(store_, QStringLiteral("Jobs"), QString()).trimmed().toInt(&isNumber);
  spnJobs->setValue(isNumber && stored >= 1 ? run.Jobs : 0);
  txtExclude->setPlainText(ExcludeLines(ReadSetting(store_, QStringLiteral("txtExclude"), QString())));
}

void Dialog::SaveRunFields() {
  for (QSpinBox* box : {spnTimeout, spnJobs}) box->interpretText();
  WriteSetting(store_, QStringLiteral("EncoderTimeout"), QString::number(spnTimeout->value()));
  WriteSetting(store_, QStringLiteral("Jobs"), QString::number(spnJobs->value()));
  WriteSetting(store_, QStringLiteral("txtExclude"), StoredExcludes(txtExclude->toPlainText()));
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
  SaveRunFields();
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
