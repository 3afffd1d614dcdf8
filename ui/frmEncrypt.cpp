#include "frmEncrypt.h"

#include "Dialog.h"
#include "controls.h"
#include "desktop_notice.h"
#include "drive_list.h"
#include "folder_list.h"
#include "folders.h"
#include "frmAbout.h"
#include "log_box.h"
#include "look.h"
#include "message_box.h"
#include "path_field.h"
#include "run_text.h"
#include "twips.h"
#include "twips_layout.h"
#include "window_texts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>
#include <climits>

namespace {

// The client area's least size: the classic window's, in twips.
const QSize kClientTwips(7620, 6645);

template <typename T>
T* Named(T* object, const char* name) {
  object->setObjectName(QString::fromLatin1(name));
  return object;
}

QString AppDirOfProgram() {
  return WithTrailingSeparator(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()), QDir::separator());
}

}  // namespace

frmEncrypt::frmEncrypt(SettingsStore& store)
    : model_(std::make_unique<frmEncryptModel>(store, *this, NativePathOf(AppDirOfProgram()))) {
  setObjectName(QStringLiteral("frmEncrypt"));
  setWindowTitle(AppTitle());
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);
  auto* client = new QWidget(this);
  setCentralWidget(client);
  BuildControls(client);
  NameControls();
  BuildMenus();
  Connect();
  notify_ = [this](const QString& summary, const QString& body) {
    ShowDesktopNotice(summary, body);
    QApplication::alert(this);
  };
  openDocument_ = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
  Form_Load();
}

frmEncrypt::~frmEncrypt() = default;

// Each control at its place in the classic window; what the window grows goes to the
// folder lists (half of the height, each list half of the width) and to the log.
void frmEncrypt::BuildControls(QWidget* client) {
  auto* layout = new TwipsLayout(client, kClientTwips);
  Label1 = new QLabel(QStringLiteral("&Original Directory"), client);
  Label2 = new QLabel(QStringLiteral("&Destination Directory"), client);
  Drive1 = new DriveList(client);
  Drive2 = new DriveList(client);
  txtPath1 = new PathField(client);
  txtPath2 = new PathField(client);
  Dir1 = new FolderList(client);
  Dir2 = new FolderList(client);
  Text1 = new LogBox(client);
  prgRun = new QProgressBar(client);
  Command1 = new Button(QStringLiteral("&Start"), client);
  Command2 = new Button(QStringLiteral("S&top"), client);
  const Growth left{0, 0, 0.5, 0}, right{0.5, 0, 0.5, 0};
  layout->Add(Label1, {135, 75, 2760, 315}, left);
  layout->Add(Label2, {3945, 60, 2655, 240}, right);
  layout->Add(Drive1, {120, 285, 3615, 315}, left);
  layout->Add(Drive2, {3915, 285, 3615, 315}, right);
  layout->Add(txtPath1, {120, 630, 3600, 315}, left);
  layout->Add(txtPath2, {3915, 630, 3600, 315}, right);
  layout->Add(Dir1, {120, 975, 3600, 2880}, {0, 0, 0.5, 0.5});
  layout->Add(Dir2, {3915, 975, 3600, 2880}, {0.5, 0, 0.5, 0.5});
  layout->Add(Text1, {120, 3945, 7395, 2220}, {0, 0.5, 1, 0.5});
  layout->Add(prgRun, {120, 6240, 4845, 330}, {0, 1, 1, 0});
  layout->Add(Command1, {5085, 6195, 1185, 405}, {1, 1, 0, 0});
  layout->Add(Command2, {6330, 6180, 1185, 435}, {1, 1, 0, 0});
  for (QLabel* label : {Label1, Label2}) label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setBuddy(txtPath1);
  Label2->setBuddy(txtPath2);
  Command2->setEnabled(false);
  prgRun->setVisible(false);
  prgRun->setTextVisible(true);
  prgRun->setAlignment(Qt::AlignCenter);
  lblStatus = new QLabel(this);
  statusBar()->addWidget(lblStatus, 1);
  // Tab and Shift+Tab go down the source column, down the destination column, then
  // to the log and the buttons; the source folder list has the focus at the start.
  QWidget* order[] = {Drive1, txtPath1, Dir1, Drive2, txtPath2, Dir2, Text1, Command1, Command2};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  Dir1->setFocus(Qt::OtherFocusReason);
}

void frmEncrypt::NameControls() {
  Named(Label1, "Label1");
  Named(Label2, "Label2");
  Named(Drive1, "Drive1")->setAccessibleName(QStringLiteral("Source drive"));
  Named(Drive2, "Drive2")->setAccessibleName(QStringLiteral("Destination drive"));
  Named(txtPath1, "txtPath1")->setAccessibleName(QStringLiteral("Source folder path"));
  Named(txtPath2, "txtPath2")->setAccessibleName(QStringLiteral("Destination folder path"));
  Named(Dir1, "Dir1")->setAccessibleName(QStringLiteral("Source folder"));
  Named(Dir2, "Dir2")->setAccessibleName(QStringLiteral("Destination folder"));
  Named(Text1, "Text1")->setAccessibleName(QStringLiteral("Progress log"));
  Named(prgRun, "prgRun")->setAccessibleName(QStringLiteral("Files done"));
  Named(Command1, "Command1");
  Named(Command2, "Command2");
  Named(lblStatus, "lblStatus");
}

void frmEncrypt::BuildMenus() {
  mnuFile = Named(menuBar()->addMenu(QStringLiteral("&File")), "mnuFile");
  mnuFileStart = Named(mnuFile->addAction(QStringLiteral("&Start")), "mnuFileStart");
  mnuFileSep2 = Named(mnuFile->addSeparator(), "mnuFileSep2");
  mnuFileOpt = Named(mnuFile->addAction(QStringLiteral("&Options...")), "mnuFileOpt");
  mnuFileSep1 = Named(mnuFile->addSeparator(), "mnuFileSep1");
  mnuFileExit = Named(mnuFile->addAction(QStringLiteral("E&xit")), "mnuFileExit");
  mnuHelp = Named(menuBar()->addMenu(QStringLiteral("&Help")), "mnuHelp");
  mnuHelpAbout = Named(mnuHelp->addAction(QStringLiteral("&About Quillward")), "mnuHelpAbout");
  mnuHelpHelp = Named(mnuHelp->addAction(QStringLiteral("&Help")), "mnuHelpHelp");
}

void frmEncrypt::Connect() {
  ConnectSide(Side::Source, Drive1, txtPath1, Dir1);
  ConnectSide(Side::Destination, Drive2, txtPath2, Dir2);
  connect(Command1, &QPushButton::clicked, this, &frmEncrypt::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &frmEncrypt::Command2_Click);
  connect(mnuFileStart, &QAction::triggered, this, [this] { model_->mnuFileStart_Click(); });
  connect(mnuFileOpt, &QAction::triggered, this, [this] { model_->mnuFileOpt_Click(); });
  connect(mnuFileExit, &QAction::triggered, this, [this] { model_->mnuFileExit_Click(); });
  connect(mnuHelpAbout, &QAction::triggered, this, [this] { model_->mnuHelpAbout_Click(); });
  connect(mnuHelpHelp, &QAction::triggered, this, [this] { model_->mnuHelpHelp_Click(); });
}

// Drive_Change, txtPath_Change and _Enter, Dir_Choose and _Open of one side. What the
// model shows back (ShowSide) is not reported again.
void frmEncrypt::ConnectSide(Side side, DriveList* drive, PathField* field, FolderList* dir) {
  connect(drive, &DriveList::Change, this, [this, side, drive] {
    if (!showing_) model_->Drive_Change(side, RunText(drive->Drive()));
  });
  connect(field, &QLineEdit::textChanged, this, [this, side](const QString& text) {
    if (!showing_) model_->Path_Change(side, RunText(text));
  });
  connect(field, &PathField::Open, this, [this, side] { model_->Path_Enter(side); });
  connect(dir, &FolderList::Chosen, this, [this, side](const QString& folder) {
    if (!showing_) model_->Dir_Choose(side, RunText(folder));
  });
  connect(dir, &FolderList::Opened, this, [this, side](const QString& folder) {
    if (!showing_) model_->Dir_Open(side, RunText(folder));
  });
}

void frmEncrypt::Form_Load() { model_->Form_Load(RunText(QDir::toNativeSeparators(QDir::currentPath()))); }

void frmEncrypt::OpenFolders(const QString& source, const QString& destination) {
  model_->OpenFolders(RunText(source), RunText(destination), RunText(QDir::toNativeSeparators(QDir::currentPath())));
}

void frmEncrypt::SetAppDir(const QString& dir) {
  model_->SetAppDir(NativePathOf(WithTrailingSeparator(dir, QDir::separator())));
}

PixelRect frmEncrypt::ClientArea() const {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
  // The frame is known once the window is shown; before, a title bar and thin borders.
  QMargins frame(frameGeometry().left() - geometry().left(), geometry().top() - frameGeometry().top(),
                 frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  frame = QMargins(qAbs(frame.left()), qAbs(frame.top()), qAbs(frame.right()), qAbs(frame.bottom()));
  if (!isVisible() && QGuiApplication::platformName() != QLatin1String("offscreen")) {
    const int title = fontMetrics().height() + 16;
    frame = QMargins(4, title, 4, 4);
  }
  area = area.marginsRemoved(frame);
  return {area.x(), area.y(), area.width(), area.height()};
}

void frmEncrypt::ShowWhereLeft() {
  const QSize least = minimumSizeHint();
  const WindowPlace place = model_->PlaceAtStart({least.width(), least.height()}, ClientArea());
  // The layout's least size is the classic one; a smaller screen scrolls nothing but
  // never hides the window's edges.
  setMinimumSize(place.least.width, place.least.height);
  setGeometry(place.frame.x, place.frame.y, place.frame.width, place.frame.height);
  if (place.maximized) {
    showMaximized();
  } else {
    show();
  }
}

void frmEncrypt::Command1_Click() {
  // A path set by the program rather than typed is taken as it stands.
  for (auto [side, field] : {std::pair{Side::Source, txtPath1}, std::pair{Side::Destination, txtPath2}}) {
    if (RunText(field->text()) != model_->View(side).field) model_->Path_Change(side, RunText(field->text()));
  }
  model_->Command1_Click();
}

void frmEncrypt::Command2_Click() { model_->Command2_Click(); }

// The close button asks what File, Exit asks; the folders and place are remembered.
void frmEncrypt::closeEvent(QCloseEvent* event) {
  if (!model_->Form_QueryUnload()) {
    event->ignore();
    return;
  }
  const QRect r = isMaximized() ? normalGeometry() : geometry();
  WindowPlace place;
  place.frame = {r.x(), r.y(), r.width(), r.height()};
  place.maximized = isMaximized();
  model_->Form_Unload(place);
  event->accept();
}

QString frmEncrypt::LogText() const { return Text1->Text(); }

void frmEncrypt::ShowSide(Side side, const SideView& view) {
  const bool source = side == Side::Source;
  DriveList* drive = source ? Drive1 : Drive2;
  PathField* field = source ? txtPath1 : txtPath2;
  FolderList* dir = source ? Dir1 : Dir2;
  showing_ = true;
  dir->Show(QtText(view.listed), QtText(view.chosen), view.pending ? QtText(view.pendingCaption) : QString());
  field->SetShown(QtText(view.listed));
  if (field->text() != QtText(view.field)) {
    field->setText(QtText(view.field));
    field->setCursorPosition(0);
  }
  drive->ShowDrive(QtText(view.drive));
  showing_ = false;
}

// The pickers and Start are about to be disabled: when one of them has the focus, Stop
// takes it (not the log), so that Space or Enter pressed again stops the run.
void frmEncrypt::ShowControls(const ControlsView& view) {
  const std::initializer_list<QWidget*> pickers{Drive1, Drive2, txtPath1, txtPath2, Dir1, Dir2};
  QWidget* focus = focusWidget();
  const bool focusGoes = (focus == Command1 && !view.start) ||
                         (!view.pickers && std::find(pickers.begin(), pickers.end(), focus) != pickers.end());
  Command2->setEnabled(view.stop);
  if (focusGoes && view.stop) Command2->setFocus(Qt::OtherFocusReason);
  Command1->setEnabled(view.start);
  mnuFileStart->setEnabled(view.start);
  for (QWidget* w : pickers) w->setEnabled(view.pickers);
}

void frmEncrypt::ShowTitle(const std::string& title) {
  if (windowTitle() != QtText(title)) setWindowTitle(QtText(title));
}

void frmEncrypt::ShowStatus(const std::string& text, StatusLook look) {
  lblStatus->setText(QtText(text));
  lblStatus->setStyleSheet(look == StatusLook::Failed ? QStringLiteral("QLabel { color: #b00000; font-weight: bold; }")
                                                      : QString());
}

void frmEncrypt::ShowProgress(const ProgressView& view) {
  prgRun->setVisible(view.visible);
  if (!view.visible) return;
  prgRun->setRange(0, view.busy ? 0 : static_cast<int>(qMin<qint64>(view.maximum, INT_MAX)));
  prgRun->setValue(static_cast<int>(qMin<qint64>(view.value, INT_MAX)));
  prgRun->setFormat(QtText(view.text));
  prgRun->setStyleSheet(view.failed ? QStringLiteral("QProgressBar::chunk { background-color: #c00000; }")
                                    : QString());
}

void frmEncrypt::ClearLog() { Text1->Clear(); }
void frmEncrypt::AppendLog(const std::string& entry, EntryLook look) { Text1->Append(QtText(entry), look); }
void frmEncrypt::MarkLastFailed() { Text1->MarkLastFailed(); }
void frmEncrypt::FlushLog() { Text1->Flush(); }

int frmEncrypt::Ask(const MessageSpec& message) { return MessageBox::Ask(this, message); }

void frmEncrypt::PumpEvents() { QCoreApplication::processEvents(); }

// Nothing while the user is at the window (or at a dialog of the program's), nor after
// the window was closed.
bool frmEncrypt::UserIsAway() {
  return isVisible() && !isActiveWindow() && QApplication::activeModalWidget() == nullptr;
}

void frmEncrypt::Notify(const std::string& summary, const std::string& body) { notify_(QtText(summary), QtText(body)); }

void frmEncrypt::FocusStart() {
  if (Command1->isEnabled() && Command1->isVisible()) Command1->setFocus(Qt::OtherFocusReason);
}

// Options and About are modal, but a run goes on while they are open: they are shown
// without a loop of their own.
void frmEncrypt::OpenOptions() {
  auto* dialog = new Dialog(model_->Store(), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->show();
}

void frmEncrypt::OpenAbout() {
  auto* about = new frmAbout(model_->Store(), this);
  about->setAttribute(Qt::WA_DeleteOnClose);
  about->setWindowModality(Qt::ApplicationModal);
  about->show();
}

bool frmEncrypt::OpenDocument(const std::string& url) { return openDocument_(QtText(url)); }

void frmEncrypt::CloseWindow() { close(); }

// A folder dragged from a file manager opens on the side it is dropped on; a file
// dropped opens the folder that holds it. Nothing is taken while a run is going.
void frmEncrypt::dragEnterEvent(QDragEnterEvent* event) {
  if (model_->AcceptsDrop() && !DroppedFolder(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmEncrypt::dragMoveEvent(QDragMoveEvent* event) {
  if (model_->AcceptsDrop() && !DroppedFolder(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmEncrypt::dropEvent(QDropEvent* event) {
  const QString folder = DroppedFolder(event->mimeData());
  if (!model_->AcceptsDrop() || folder.isEmpty()) return;
  const bool destination = event->position().x() >= centralWidget()->geometry().center().x();
  if (model_->Drop(destination ? Side::Destination : Side::Source, RunText(folder))) event->acceptProposedAction();
}
