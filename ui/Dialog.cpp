#include "Dialog.h"

#include "controls.h"
#include "look.h"
#include "message_box.h"
#include "run/settings/run_settings.h"
#include "run_text.h"
#include "twips.h"
#include "window_place.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include <map>

namespace {

QRect PlaceOf(const OptionsControl& c) { return TwipsRect(c.left, c.top, c.width, c.height); }

QString Caption(const OptionsControl& c) { return QtText(c.caption); }

// One control of the table, in `parent`.
QWidget* Make(const OptionsControl& c, QWidget* parent) {
  QWidget* w = nullptr;
  switch (c.kind) {
    case OptionsKind::Label: {
      auto* label = new QLabel(Caption(c), parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap(c.height > 400);
      w = label;
      break;
    }
    case OptionsKind::Line:
      w = new LineControl(parent, TwipsX(c.left), TwipsX(c.left + c.width), TwipsY(c.top), 2);
      break;
    case OptionsKind::Frame: w = new QGroupBox(Caption(c), parent); break;
    case OptionsKind::Check: w = new CheckBox(Caption(c), parent); break;
    case OptionsKind::Text: w = new QLineEdit(parent); break;
    case OptionsKind::Combo: {
      auto* combo = new ComboBox(parent);
      combo->addItem(QStringLiteral("VBScript"), 0);
      combo->addItem(QStringLiteral("JScript"), 0);
      combo->setEditText(QString());
      w = combo;
      break;
    }
    case OptionsKind::Spin: {
      auto* box = new QSpinBox(parent);
      box->setAlignment(Qt::AlignRight);
      w = box;
      break;
    }
    case OptionsKind::Lines: {
      auto* lines = new QPlainTextEdit(parent);
      lines->setTabChangesFocus(true);
      lines->setLineWrapMode(QPlainTextEdit::NoWrap);
      w = lines;
      break;
    }
    case OptionsKind::Button: w = new QPushButton(Caption(c), parent); break;
  }
  w->setObjectName(QtText(c.name));
  if (c.kind != OptionsKind::Line) w->setGeometry(PlaceOf(c));
  return w;
}

}  // namespace

Dialog::Dialog(SettingsStore& store, QWidget* parent) : QDialog(parent), model_(store) {
  setObjectName(QStringLiteral("Dialog"));
  setWindowTitle(QtText(kOptionsTitle));
  setWindowIcon(ProgramIcon());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  scroller = new QScrollArea(this);
  scroller->setObjectName(QStringLiteral("scroller"));
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setFocusPolicy(Qt::NoFocus);
  scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("page"));
  page->setFixedSize(TwipsSize(kOptionsWidthTwips, kOptionsHeightTwips));
  BuildControls(page);
  scroller->setWidget(page);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroller);
  FitScreen(page);
  SetTabOrder();
  Connect();
  Form_Load();
  Combo1->setFocus(Qt::OtherFocusReason);  // the first control down the dialog
}

// Every control of the table at its place, in its frame; then the members by name.
void Dialog::BuildControls(QWidget* page) {
  std::map<std::string, QWidget*> made;
  QWidget* previous = nullptr;
  for (const OptionsControl& c : OptionsControls()) {
    QWidget* parent = c.frame.empty() ? page : made.at(c.frame);
    QWidget* w = Make(c, parent);
    made[c.name] = w;
    // A caption with an Alt letter moves the focus to the control after it.
    if (auto* label = qobject_cast<QLabel*>(previous); label && label->text().contains(u'&')) {
      label->setBuddy(w);
      w->setAccessibleName(QString(label->text()).remove(u'&'));
    }
    previous = w;
  }
  const auto find = [&made](const char* name) { return made.at(name); };
  Label1 = qobject_cast<QLabel*>(find("Label1"));
  Combo1 = qobject_cast<ComboBox*>(find("Combo1"));
  Label3 = qobject_cast<QLabel*>(find("Label3"));
  Combo2 = qobject_cast<ComboBox*>(find("Combo2"));
  Label2 = qobject_cast<QLabel*>(find("Label2"));
  chkLangDirect = qobject_cast<CheckBox*>(find("chkLangDirect"));
  Line1 = qobject_cast<LineControl*>(find("Line1"));
  Frame1 = qobject_cast<QGroupBox*>(find("Frame1"));
  chkASP = qobject_cast<CheckBox*>(find("chkASP"));
  chkJS = qobject_cast<CheckBox*>(find("chkJS"));
  chkHTML = qobject_cast<CheckBox*>(find("chkHTML"));
  Check2 = qobject_cast<CheckBox*>(find("Check2"));
  txtDefxt = qobject_cast<QLineEdit*>(find("txtDefxt"));
  Label5 = qobject_cast<QLabel*>(find("Label5"));
  Label4 = qobject_cast<QLabel*>(find("Label4"));
  Frame2 = qobject_cast<QGroupBox*>(find("Frame2"));
  chkChanged = qobject_cast<CheckBox*>(find("chkChanged"));
  chkDelete = qobject_cast<CheckBox*>(find("chkDelete"));
  chkVerify = qobject_cast<CheckBox*>(find("chkVerify"));
  lblTimeout = qobject_cast<QLabel*>(find("lblTimeout"));
  spnTimeout = qobject_cast<QSpinBox*>(find("spnTimeout"));
  lblJobs = qobject_cast<QLabel*>(find("lblJobs"));
  spnJobs = qobject_cast<QSpinBox*>(find("spnJobs"));
  lblExclude = qobject_cast<QLabel*>(find("lblExclude"));
  txtExclude = qobject_cast<QPlainTextEdit*>(find("txtExclude"));
  OKButton = qobject_cast<QPushButton*>(find("OKButton"));
  CancelButton = qobject_cast<QPushButton*>(find("CancelButton"));
  Combo1->setAccessibleName(Label1->text());
  Combo2->setAccessibleName(Label3->text());
  txtDefxt->setAccessibleName(Label5->text());
  spnTimeout->setRange(0, kMaxTimeoutSeconds);
  // 0, shown as "All cores", is stored as it is: the run takes it as the cores of the
  // machine it runs on, so settings carried to a larger machine use all of its cores.
  spnJobs->setRange(0, kMaxJobs);
  spnJobs->setSpecialValueText(QtText(kAllCores));
  txtExclude->setToolTip(QStringLiteral("As in a .quillwardignore file, anchored at the source folder: *.bak, "
                                        ".git/, /drafts/. A site's own ignore files can take one back."));
  OKButton->setDefault(true);
  CancelButton->setAutoDefault(false);
}

// The whole page when the screen's work area holds it; else as high as the work area,
// scrolling down to the rest.
void Dialog::FitScreen(QWidget* page) {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  const QSize wanted = page->size();
  QSize size = wanted;
  if (s) {
    const QRect area = s->availableGeometry();
    const int frame = fontMetrics().height() + 16;  // title bar and borders, before the window has them
    const PixelRect client{area.x(), area.y(), area.width(), area.height() - frame};
    if (!Fits({wanted.width(), wanted.height()}, client)) {
      size.setHeight(client.height);
      size.setWidth(qMin(wanted.width() + scroller->verticalScrollBar()->sizeHint().width(), client.width));
    }
  }
  setFixedSize(size);
}

// The model's Tab order: down the dialog, then OK and Cancel.
void Dialog::SetTabOrder() {
  QWidget* before = nullptr;
  QWidget* first = nullptr;
  for (const OptionsControl& c : OptionsControls()) {
    if (!c.takesFocus) continue;
    QWidget* w = findChild<QWidget*>(QtText(c.name));
    if (before) setTabOrder(before, w);
    if (!first) first = w;
    before = w;
  }
  setTabOrder(before, first);  // from Cancel round to the top
}

void Dialog::Connect() {
  connect(OKButton, &QPushButton::clicked, this, &Dialog::OKButton_Click);
  connect(CancelButton, &QPushButton::clicked, this, &Dialog::CancelButton_Click);
  connect(Combo1, &ComboBox::KeyDown, this, &Dialog::Combo1_KeyDown);
  connect(Combo1, &ComboBox::KeyUp, this, &Dialog::Combo1_KeyUp);
  connect(Combo2, &ComboBox::KeyDown, this, &Dialog::Combo2_KeyDown);
  connect(Combo2, &ComboBox::KeyUp, this, &Dialog::Combo2_KeyUp);
  // A control that comes into view as the focus reaches it, on a screen that scrolls.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && isAncestorOf(now)) scroller->ensureWidgetVisible(now);
  });
}

void Dialog::Form_Load() {
  const OptionsValues v = model_.Form_Load();
  Combo1->setEditText(QtText(v.Combo1));
  Combo2->setEditText(QtText(v.Combo2));
  chkLangDirect->SetValue(v.chkLangDirect);
  chkASP->SetValue(v.chkASP);
  chkJS->SetValue(v.chkJS);
  chkHTML->SetValue(v.chkHTML);
  Check2->SetValue(v.Check2);
  txtDefxt->setText(QtText(v.txtDefxt));
  chkChanged->SetValue(v.chkChanged);
  chkDelete->SetValue(v.chkDelete);
  chkVerify->SetValue(v.chkVerify);
  spnTimeout->setValue(v.spnTimeout);
  spnJobs->setValue(v.spnJobs);
  txtExclude->setPlainText(QtText(v.txtExclude));
}

OptionsValues Dialog::Values() const {
  for (QSpinBox* box : {spnTimeout, spnJobs}) box->interpretText();
  OptionsValues v;
  v.Combo1 = RunText(Combo1->currentText());
  v.Combo2 = RunText(Combo2->currentText());
  v.chkLangDirect = chkLangDirect->Value();
  v.chkASP = chkASP->Value();
  v.chkJS = chkJS->Value();
  v.chkHTML = chkHTML->Value();
  v.Check2 = Check2->Value();
  v.txtDefxt = RunText(txtDefxt->text());
  v.chkChanged = chkChanged->Value();
  v.chkDelete = chkDelete->Value();
  v.chkVerify = chkVerify->Value();
  v.spnTimeout = spnTimeout->value();
  v.spnJobs = spnJobs->value();
  v.txtExclude = RunText(txtExclude->toPlainText());
  return v;
}

void Dialog::OKButton_Click() {
  const OptionsValues values = Values();
  if (!model_.OKButton_Click(values)) {
    MessageSpec refusal;
    refusal.text = model_.Refusal(values);
    refusal.title = kOptionsTitle;
    refusal.icon = MessageIcon::Warning;
    MessageBox::Ask(this, refusal);
    return;
  }
  accept();
}

void Dialog::CancelButton_Click() { reject(); }

void Dialog::Combo1_KeyDown() { Combo1->SetLocked(true); }
void Dialog::Combo1_KeyUp() { Combo1->SetLocked(false); }
void Dialog::Combo2_KeyDown() { Combo2->SetLocked(true); }
void Dialog::Combo2_KeyUp() { Combo2->SetLocked(false); }

// Enter is OK wherever the focus is (a focused Cancel excepted, which Enter presses);
// Esc is Cancel.
void Dialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      (focusWidget() == CancelButton ? CancelButton : OKButton)->click();
      return;
    case Qt::Key_Escape:
      event->accept();
      CancelButton->click();
      return;
    default: QDialog::keyPressEvent(event);
  }
}
