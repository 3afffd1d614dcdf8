#include "frmAbout.h"

#include "controls.h"
#include "look.h"
#include "message_box.h"
#include "run_text.h"
#include "twips.h"

#include <QLabel>
#include <QPushButton>

namespace {

QLabel* MakeLabel(QWidget* parent, const QRect& rect, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(rect);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(palette);
  return label;
}

}  // namespace

frmAbout::frmAbout(const SettingsStore& store, QWidget* parent, std::unique_ptr<SysInfoSystem> system)
    : QDialog(parent), system_(system ? std::move(system) : MakeSysInfoSystem(store)) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QtText(AboutFormLoad().caption));
  setWindowIcon(ProgramIcon());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(TwipsSize(5730, 3555));
  BuildControls();
  connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
  connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
  Form_Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::BuildControls() {
  picIcon = MakeLabel(this, TwipsRect(240, 240, 480, 480), "picIcon");
  picIcon->setScaledContents(true);
  picIcon->setPixmap(ProgramIcon().pixmap(QSize(32, 32)));
  lblTitle = MakeLabel(this, TwipsRect(1050, 240, 3885, 480), "lblTitle");
  lblVersion = MakeLabel(this, TwipsRect(1050, 780, 3885, 225), "lblVersion");
  lblDescription = MakeLabel(this, TwipsRect(1050, 1125, 3885, 1170), "lblDescription");
  lblDescription->setWordWrap(true);
  Line1_1 = new LineControl(this, TwipsX(90), TwipsX(5654), TwipsY(2445), 1, QColor(128, 128, 128));
  Line1_1->setObjectName(QStringLiteral("Line1_1"));
  Line1_0 = new LineControl(this, TwipsX(105), TwipsX(5654), TwipsY(2460), 2, Qt::white);
  Line1_0->setObjectName(QStringLiteral("Line1_0"));
  lblDisclaimer = MakeLabel(this, TwipsRect(255, 2625, 3870, 825), "lblDisclaimer");
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(TwipsRect(4245, 2625, 1260, 345));
  cmdOK->setDefault(true);
  cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
  cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
  cmdSysInfo->setGeometry(TwipsRect(4260, 3075, 1245, 345));
  setTabOrder(cmdOK, cmdSysInfo);
}

void frmAbout::Form_Load() {
  const AboutTexts texts = AboutFormLoad();
  lblVersion->setText(QtText(texts.lblVersion));
  lblTitle->setText(QtText(texts.lblTitle));
  lblDescription->setText(QtText(texts.lblDescription));
  lblDisclaimer->setText(QtText(texts.lblDisclaimer));
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::StartSysInfo() {
  MessageSpec message;
  if (!::StartSysInfo(*system_, message)) MessageBox::Ask(this, message);
}
