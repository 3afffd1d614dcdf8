#include "frmEncrypt.h"

#include "Dialog.h"
#include "controls.h"
#include "desktop_notice.h"
#include "drive_list.h"
#include "encode_run.h"
#include "folder_list.h"
#include "folders.h"
#include "frmAbout.h"
#include "log_box.h"
#include "look.h"
#include "message_box.h"
#include "path_field.h"
#include "run_text.h"
#include "start_state.h"
#include "twips.h"
#include "twips_layout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <climits>

namespace {

const QString kEncodeWebsite = QStringLiteral("Encode Website");
// The client area's least size: the classic window's, in twips.
const QSize kClientTwips(7620, 6645);

template <typename T>
T* Named(T* object, const char* name) {
  object->setObjectName(QString::fromLatin1(name));
  return object;
}

}  // namespace

frmEncrypt::frmEncrypt(SettingsStore& store) : store_(store) {
  setObjectName(QStringLiteral("frmEncrypt"));
  setWindowTitle(kAppTitle);
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
  frame_.start();
  Form_Load();
}

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
  connect(Drive1, &DriveList::Change, this, &frmEncrypt::Drive1_Change);
  connect(Drive2, &DriveList::Change, this, &frmEncrypt::Drive2_Change);
  connect(Dir1, &FolderList::Change, this, &frmEncrypt::Dir1_Change);
  connect(Dir2, &FolderList::Change, this, &frmEncrypt::Dir2_Change);
  connect(txtPath1, &PathField::Open, this, &frmEncrypt::txtPath1_Open);
  connect(txtPath2, &PathField::Open, this, &frmEncrypt::txtPath2_Open);
  connect(Command1, &QPushButton::clicked, this, &frmEncrypt::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &frmEncrypt::Command2_Click);
  connect(mnuFileStart, &QAction::triggered, this, &frmEncrypt::mnuFileStart_Click);
  connect(mnuFileOpt, &QAction::triggered, this, &frmEncrypt::mnuFileOpt_Click);
  connect(mnuFileExit, &QAction::triggered, this, &frmEncrypt::mnuFileExit_Click);
  connect(mnuHelpAbout, &QAction::triggered, this, &frmEncrypt::mnuHelpAbout_Click);
  connect(mnuHelpHelp, &QAction::triggered, this, &frmEncrypt::mnuHelpHelp_Click);
}

// Records AppDir; the pickers open the folders of the last time (or the nearest folder
// above one removed since), else the process's current folder.
void frmEncrypt::Form_Load() {
  appDir_ = WithTrailingSeparator(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()),
                                  QDir::separator());
  const Remembered last = ReadRemembered(store_);
  const QString current = CleanFolderPath(QDir::currentPath());
  for (auto [dir, drive, field, remembered] : {std::tuple{Dir1, Drive1, txtPath1, last.source},
                                               std::tuple{Dir2, Drive2, txtPath2, last.destination}}) {
    dir->SetPath(remembered.isEmpty() ? current : NearestFolder(remembered));
    ShowOpened(dir, drive, field);
  }
}

void frmEncrypt::ShowWhereLeft() {
  if (!restoreGeometry(ReadRemembered(store_).geometry)) {
    // The first time: somewhat larger than the least size, so the log shows more
    // lines, but never more than the screen holds.
    const QSize least = minimumSizeHint();
    QSize first(least.width() * 5 / 4, least.height() * 4 / 3);
    if (const QScreen* s = screen()) first = first.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(first.expandedTo(least));
    CenterOnScreen(this);
  }
  show();
}

void frmEncrypt::SetAppDir(const QString& dir) { appDir_ = WithTrailingSeparator(dir, QDir::separator()); }

void frmEncrypt::Drive1_Change() { ChangeDrive(Drive1, Dir1); }
void frmEncrypt::Drive2_Change() { ChangeDrive(Drive2, Dir2); }
void frmEncrypt::Dir1_Change() { ShowOpened(Dir1, Drive1, txtPath1); }
void frmEncrypt::Dir2_Change() { ShowOpened(Dir2, Drive2, txtPath2); }
void frmEncrypt::txtPath1_Open() { OpenTyped(txtPath1, Dir1, false); }
void frmEncrypt::txtPath2_Open() { OpenTyped(txtPath2, Dir2, true); }

// The folder list moves to the drive picked; a drive that is not there or cannot be read
// says so, and the folder list keeps its folder while the drive list shows the drive picked.
void frmEncrypt::ChangeDrive(DriveList* drive, FolderList* dir) {
  if (dir->SetPath(drive->Drive()) != FolderAccess::Ok) {
    MessageBox::Show(this, QStringLiteral("Device Unavailable!"), MessageIcon::Critical, kEncodeWebsite);
  }
}

// A folder list opened a folder: its path field and drive list show it.
void frmEncrypt::ShowOpened(FolderList* dir, DriveList* drive, PathField* field) {
  field->ShowFolder(dir->Path());
  drive->ShowDrive(VolumeRootOf(dir->Path()));
}

// Enter in a path field: the list opens the folder typed. One that does not exist stays
// typed in the field: a destination is then created when Start is pressed, a source
// is refused by the run.
void frmEncrypt::OpenTyped(PathField* field, FolderList* dir, bool destination) {
  const QString folder = field->Folder();
  if (!folder.isEmpty() && dir->SetPath(folder) == FolderAccess::Ok) {
    ShowOpened(dir, destination ? Drive2 : Drive1, field);
    lblStatus->clear();
    return;
  }
  if (folder.isEmpty()) {
    ShowOpened(dir, destination ? Drive2 : Drive1, field);
  } else {
    lblStatus->setText((destination ? QStringLiteral("Will be created when Start is pressed: %1")
                                    : QStringLiteral("No such folder: %1"))
                           .arg(folder));
  }
}

void frmEncrypt::OpenFolders(const QString& source, const QString& destination) {
  for (auto [text, dir, field, isDestination] :
       {std::tuple{source, Dir1, txtPath1, false}, std::tuple{destination, Dir2, txtPath2, true}}) {
    QString folder = TypedFolder(text, QDir::currentPath());
    if (folder.isEmpty()) continue;
    // A file given (as "Open with" may): the folder that holds it.
    if (const QFileInfo info(folder); info.isFile()) folder = CleanFolderPath(info.absolutePath());
    dir->SetPath(NearestFolder(folder));
    field->setText(folder);
    OpenTyped(field, dir, isDestination);
  }
}

// The run. Start, File, Start and the pickers stay disabled until it ends: the paths were
// taken when it started, and a run never starts inside another.
void frmEncrypt::Command1_Click() {
  if (state_.Busy) return;
  const QPointer<QWidget> hadFocus = focusWidget();
  RememberFolders(store_, txtPath1->Folder(), txtPath2->Folder());
  progress_.Start();
  events_.invalidate();
  lblStatus->clear();
  SetRunning(true);
  const RunOutcome outcome = RunEncoding(*this, store_);
  ShowFrame(true);
  SetRunning(false);
  if (hadFocus && hadFocus->isEnabled() && hadFocus->isVisible()) hadFocus->setFocus(Qt::OtherFocusReason);
  // A destination typed in the field exists now: the list opens it.
  if (txtPath2->Typed() && CheckFolder(txtPath2->Folder()) == FolderAccess::Ok) OpenTyped(txtPath2, Dir2, true);
  EndOfRun(outcome);
}

// The pickers and Start are about to be disabled: when one of them has the focus, Stop
// takes it (not the log), so that Space or Enter pressed again stops the run.
void frmEncrypt::SetRunning(bool running) {
  const std::initializer_list<QWidget*> idleOnly{Command1, Drive1, Drive2, txtPath1, txtPath2, Dir1, Dir2};
  if (running && std::find(idleOnly.begin(), idleOnly.end(), focusWidget()) != idleOnly.end()) {
    Command2->setEnabled(true);
    Command2->setFocus(Qt::OtherFocusReason);
  }
  for (QWidget* w : idleOnly) w->setEnabled(!running);
  mnuFileStart->setEnabled(!running);
  if (running) prgRun->setVisible(false);
  setWindowTitle(kAppTitle);
}

// The status line and, after a long run while the user is elsewhere, the desktop get
// the summary.
void frmEncrypt::EndOfRun(const RunOutcome& outcome) {
  const QString summary = SummaryText(outcome, progress_.ElapsedMs());
  // The bar ends at the files the run did, also when its last report came between
  // frames; a run that ended before its first file shows none.
  if (!summary.isEmpty() && progress_.Known() && outcome.files > 0) {
    progress_.Update(outcome.files, progress_.Total());
    ShowFrame(true);
  } else {
    prgRun->setVisible(false);
  }
  lblStatus->setText(summary);
  if (summary.isEmpty() || progress_.ElapsedMs() < noticeAfterMs_) return;
  // Nothing while the user is at the window (or at a dialog of the program's), nor
  // after the window was closed.
  if (isVisible() && !isActiveWindow() && QApplication::activeModalWidget() == nullptr) {
    notify_(QStringLiteral("%1: run ended").arg(kAppTitle), summary);
  }
}

void frmEncrypt::Command2_Click() { RequestStop(*this); }

void frmEncrypt::mnuFileStart_Click() { Command1_Click(); }

// Options and About are modal, but a run goes on while they are open: they are shown
// without a loop of their own.
void frmEncrypt::mnuFileOpt_Click() {
  auto* dialog = new Dialog(store_, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->show();
}

void frmEncrypt::mnuHelpAbout_Click() {
  auto* about = new frmAbout(store_, this);
  about->setAttribute(Qt::WA_DeleteOnClose);
  about->setWindowModality(Qt::ApplicationModal);
  about->show();
}

void frmEncrypt::mnuHelpHelp_Click() {}

// The question holds the run until it is answered; the status line says so meanwhile.
bool frmEncrypt::AskToCancel() {
  const QString before = lblStatus->text();
  lblStatus->setText(QStringLiteral("Paused until the question is answered"));
  const MsgAnswer answer = MessageBox::Show(this, QStringLiteral("Cancel current Action?"), MessageIcon::Question,
                                            kEncodeWebsite, MsgButtons::YesNo);
  lblStatus->setText(before);
  return answer == MsgAnswer::Yes;
}

void frmEncrypt::mnuFileExit_Click() {
  if (state_.Busy) {
    if (!AskToCancel()) return;
    exitConfirmed_ = true;
    RequestStop(*this);
  }
  close();
}

// The close button asks what File, Exit asks. The window is hidden, not destroyed, until
// the run has returned.
void frmEncrypt::closeEvent(QCloseEvent* event) {
  if (state_.Busy && !exitConfirmed_) {
    if (!AskToCancel()) {
      event->ignore();
      return;
    }
    RequestStop(*this);
  }
  exitConfirmed_ = false;
  Remember();
  event->accept();
}

void frmEncrypt::Remember() {
  RememberFolders(store_, txtPath1->Folder(), txtPath2->Folder());
  RememberGeometry(store_, saveGeometry());
}

std::filesystem::path frmEncrypt::SourcePath() { return NativePathOf(txtPath1->Folder()); }
std::filesystem::path frmEncrypt::DestinationPath() { return NativePathOf(txtPath2->Folder()); }
std::filesystem::path frmEncrypt::AppDir() { return NativePathOf(appDir_); }

void frmEncrypt::SetStopEnabled(bool enabled) { Command2->setEnabled(enabled); }
void frmEncrypt::ClearLog() { Text1->Clear(); }
void frmEncrypt::AppendLog(const std::string& entry) {
  const QString text = QtText(entry);
  Text1->Append(text, LookOf(text));
}
void frmEncrypt::MarkLastFailed() { Text1->MarkLastFailed(); }
void frmEncrypt::RepaintLog() { ShowFrame(false); }
QString frmEncrypt::LogText() const { return Text1->Text(); }

// The log follows its end by itself (LogBox::Flush), and moves no focus: a button
// half-pressed while files go by stays pressed.
void frmEncrypt::ScrollText(std::int16_t) {}

void frmEncrypt::ShowMessage(const std::string& text, MessageIcon icon, const std::string& title) {
  ShowFrame(true);
  MessageBox::Show(this, QtText(text), icon, QtText(title));
}

// Events are let in at most every few milliseconds: a run of small files calls this a
// thousand times a second, and a person's click or key waits 10 ms at most.
void frmEncrypt::ProcessEvents() {
  ShowFrame(false);
  if (events_.isValid() && events_.elapsed() < kEventsEveryMs) return;
  events_.start();
  QCoreApplication::processEvents();
}

void frmEncrypt::ShowProgress(qint64 done, qint64 total) {
  progress_.Update(done, total);
  ShowFrame(false);
}

// What the run reported since the last frame: the log's new lines, the count, the share
// done in the title, the time left.
void frmEncrypt::ShowFrame(bool now) {
  if (!now && frame_.elapsed() < LogBox::kFrameMs) return;
  frame_.restart();
  Text1->Flush();
  if (!progress_.Known()) return;
  prgRun->setVisible(true);
  prgRun->setRange(0, progress_.Counting() ? 0 : static_cast<int>(qMin<qint64>(progress_.Total(), INT_MAX)));
  prgRun->setValue(static_cast<int>(qMin<qint64>(progress_.Done(), INT_MAX)));
  prgRun->setFormat(progress_.CountText());
  if (state_.Busy) {
    const QString title = progress_.Counting() ? kAppTitle : RunTitle(progress_.Percent());
    if (windowTitle() != title) setWindowTitle(title);
    lblStatus->setText(progress_.TimeLeftText());
  }
}

// A folder dragged from a file manager opens on the side it is dropped on; a file
// dropped opens the folder that holds it. Nothing is taken while a run is going.
void frmEncrypt::dragEnterEvent(QDragEnterEvent* event) {
  if (!state_.Busy && !DroppedFolder(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmEncrypt::dragMoveEvent(QDragMoveEvent* event) {
  if (!state_.Busy && !DroppedFolder(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmEncrypt::dropEvent(QDropEvent* event) {
  const QString folder = DroppedFolder(event->mimeData());
  if (state_.Busy || folder.isEmpty()) return;
  const bool destination = event->position().x() >= centralWidget()->geometry().center().x();
  PathField* field = destination ? txtPath2 : txtPath1;
  field->setText(folder);
  OpenTyped(field, destination ? Dir2 : Dir1, destination);
  event->acceptProposedAction();
}
