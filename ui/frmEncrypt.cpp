#include "frmEncrypt.h"

#include "Dialog.h"
#include "drive_list.h"
#include "encode_run.h"
#include "folder_list.h"
#include "folders.h"
#include "frmAbout.h"
#include "log_box.h"
#include "look.h"
#include "message_box.h"
#include "run_text.h"
#include "sysinfo.h"
#include "twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>

namespace {

const QString kEncodeWebsite = QStringLiteral("Encode Website");

}  // namespace

frmEncrypt::frmEncrypt(SettingsStore& store) : store_(store) {
  setObjectName(QStringLiteral("frmEncrypt"));
  setWindowTitle(kAppTitle);
  setWindowIcon(ProgramIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  auto* client = new QWidget(this);
  client->setFixedSize(TwipsSize(7620, 6645));
  setCentralWidget(client);
  BuildControls(client);
  BuildMenus();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  Connect();
  Form_Load();
}

void frmEncrypt::BuildControls(QWidget* client) {
  Label1 = new QLabel(QStringLiteral("Original Directory"), client);
  Label1->setGeometry(TwipsRect(135, 75, 2760, 315));
  Label2 = new QLabel(QStringLiteral("Destination Directory"), client);
  Label2->setGeometry(TwipsRect(3945, 60, 2655, 240));
  for (QLabel* label : {Label1, Label2}) label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Drive1 = new DriveList(client);
  Drive1->setGeometry(TwipsRect(120, 285, 3615, 315));
  Drive2 = new DriveList(client);
  Drive2->setGeometry(TwipsRect(3915, 285, 3615, 315));
  Dir1 = new FolderList(client);
  Dir1->setGeometry(TwipsRect(120, 615, 3600, 3240));
  Dir2 = new FolderList(client);
  Dir2->setGeometry(TwipsRect(3915, 615, 3600, 3240));
  Text1 = new LogBox(client);
  Text1->setGeometry(TwipsRect(120, 3945, 7395, 2220));
  Command1 = new QPushButton(QStringLiteral("Start"), client);
  Command1->setGeometry(TwipsRect(5085, 6195, 1185, 405));
  Command2 = new QPushButton(QStringLiteral("Stop"), client);
  Command2->setGeometry(TwipsRect(6330, 6180, 1185, 435));
  Command2->setEnabled(false);
  for (QPushButton* b : {Command1, Command2}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  Label1->setObjectName(QStringLiteral("Label1"));
  Label2->setObjectName(QStringLiteral("Label2"));
  Drive1->setObjectName(QStringLiteral("Drive1"));
  Drive2->setObjectName(QStringLiteral("Drive2"));
  Dir1->setObjectName(QStringLiteral("Dir1"));
  Dir2->setObjectName(QStringLiteral("Dir2"));
  Text1->setObjectName(QStringLiteral("Text1"));
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2->setObjectName(QStringLiteral("Command2"));
  // Tab order: Dir1, Dir2, Command1, Text1, Command2, Drive1, Drive2.
  QWidget* order[] = {Dir1, Dir2, Command1, Text1, Command2, Drive1, Drive2};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void frmEncrypt::BuildMenus() {
  auto named = [](QAction* action, const char* name) {
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFile->setObjectName(QStringLiteral("mnuFile"));
  mnuFileStart = named(mnuFile->addAction(QStringLiteral("&Start")), "mnuFileStart");
  mnuFileSep2 = named(mnuFile->addSeparator(), "mnuFileSep2");
  mnuFileOpt = named(mnuFile->addAction(QStringLiteral("Options")), "mnuFileOpt");
  mnuFileSep1 = named(mnuFile->addSeparator(), "mnuFileSep1");
  mnuFileExit = named(mnuFile->addAction(QStringLiteral("E&xit")), "mnuFileExit");
  mnuHelp = menuBar()->addMenu(QStringLiteral("Help"));
  mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
  mnuHelpAbout = named(mnuHelp->addAction(QStringLiteral("About Quillward")), "mnuHelpAbout");
  mnuHelpHelp = named(mnuHelp->addAction(QStringLiteral("Help")), "mnuHelpHelp");
}

void frmEncrypt::Connect() {
  connect(Drive1, &DriveList::Change, this, &frmEncrypt::Drive1_Change);
  connect(Drive2, &DriveList::Change, this, &frmEncrypt::Drive2_Change);
  connect(Command1, &QPushButton::clicked, this, &frmEncrypt::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &frmEncrypt::Command2_Click);
  connect(mnuFileStart, &QAction::triggered, this, &frmEncrypt::mnuFileStart_Click);
  connect(mnuFileOpt, &QAction::triggered, this, &frmEncrypt::mnuFileOpt_Click);
  connect(mnuFileExit, &QAction::triggered, this, &frmEncrypt::mnuFileExit_Click);
  connect(mnuHelpAbout, &QAction::triggered, this, &frmEncrypt::mnuHelpAbout_Click);
  connect(mnuHelpHelp, &QAction::triggered, this, &frmEncrypt::mnuHelpHelp_Click);
}

// Records AppDir; both pickers start at the process's current directory and its volume.
void frmEncrypt::Form_Load() {
  appDir_ = WithTrailingSeparator(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()),
                                  QDir::separator());
  const QString current = CleanFolderPath(QDir::currentPath());
  for (auto [drive, dir] : {std::pair{Drive1, Dir1}, std::pair{Drive2, Dir2}}) {
    drive->ShowDrive(VolumeRootOf(current));
    dir->SetPath(current);
  }
}

void frmEncrypt::SetAppDir(const QString& dir) { appDir_ = WithTrailingSeparator(dir, QDir::separator()); }

void frmEncrypt::Drive1_Change() { ChangeDrive(Drive1, Dir1); }
void frmEncrypt::Drive2_Change() { ChangeDrive(Drive2, Dir2); }

// The folder list moves to the drive picked; a drive that is not there or cannot be read
// says so, and the folder list keeps its folder while the drive list shows the drive picked.
void frmEncrypt::ChangeDrive(DriveList* drive, FolderList* dir) {
  if (dir->SetPath(drive->Drive()) != FolderAccess::Ok) {
    MessageBox::Show(this, QStringLiteral("Device Unavailable!"), MessageIcon::Critical, kEncodeWebsite);
  }
}

// The run. Start, File, Start and the pickers stay disabled until it ends: the paths were
// taken when it started, and a run never starts inside another.
void frmEncrypt::Command1_Click() {
  if (state_.Busy) return;
  SetRunning(true);
  RunEncoding(*this, store_);
  SetRunning(false);
}

void frmEncrypt::SetRunning(bool running) {
  for (QWidget* w : std::initializer_list<QWidget*>{Command1, Drive1, Drive2, Dir1, Dir2}) {
    w->setEnabled(!running);
  }
  mnuFileStart->setEnabled(!running);
}

void frmEncrypt::Command2_Click() { RequestStop(*this); }

void frmEncrypt::mnuFileStart_Click() { Command1_Click(); }

void frmEncrypt::mnuFileOpt_Click() {
  Dialog dialog(store_, this);
  dialog.exec();
}

void frmEncrypt::mnuFileExit_Click() {
  if (state_.Busy) {
    const MsgAnswer answer = MessageBox::Show(this, QStringLiteral("Cancel current Action?"),
                                              MessageIcon::Question, kEncodeWebsite, MsgButtons::YesNo);
    if (answer != MsgAnswer::Yes) return;
    RequestStop(*this);
  }
  close();
}

void frmEncrypt::mnuHelpAbout_Click() {
  frmAbout about(store_, this);
  about.exec();
}

void frmEncrypt::mnuHelpHelp_Click() {}

// The close button: during a run the stop request is raised before the window goes, so
// the run ends after its current file. The window is hidden, not destroyed, until the
// run has returned.
void frmEncrypt::closeEvent(QCloseEvent* event) {
  if (state_.Busy) RequestStop(*this);
  event->accept();
}

std::filesystem::path frmEncrypt::SourcePath() { return NativePathOf(Dir1->Path()); }
std::filesystem::path frmEncrypt::DestinationPath() { return NativePathOf(Dir2->Path()); }
std::filesystem::path frmEncrypt::AppDir() { return NativePathOf(appDir_); }

void frmEncrypt::SetStopEnabled(bool enabled) { Command2->setEnabled(enabled); }
void frmEncrypt::ClearLog() { Text1->clear(); }
void frmEncrypt::AppendLog(const std::string& entry) { Text1->Append(QtText(entry)); }
void frmEncrypt::RepaintLog() { Text1->viewport()->repaint(); }
QString frmEncrypt::LogText() const { return Text1->Text(); }

// Scrolls the log from its first line and gives the focus back to the control that had
// it. With no control of the program focused (another program is active) it only scrolls.
void frmEncrypt::ScrollText(std::int16_t lines) {
  QWidget* had = QApplication::focusWidget();
  if (had && had != Text1) Text1->setFocus(Qt::OtherFocusReason);
  Text1->ScrollFromTop(lines);
  if (had && had != Text1) had->setFocus(Qt::OtherFocusReason);
}

void frmEncrypt::ShowMessage(const std::string& text, MessageIcon icon, const std::string& title) {
  MessageBox::Show(this, QtText(text), icon, QtText(title));
}

void frmEncrypt::ProcessEvents() { QCoreApplication::processEvents(); }
