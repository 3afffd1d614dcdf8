// The splash's ways to close (and the clicks that do not close it), the About window's
// texts, keys and System Info button.

#include "controls.h"
#include "fake_sysinfo.h"
#include "frmAbout.h"
#include "frmSplash.h"
#include "ui_test_support.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class SplashAboutTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { PrepareWindowTests(); }

  void splashClosesAtOnce_data();
  void splashClosesAtOnce();
  void splashClosesAfterTwoSeconds();
  void versionText_data();
  void versionText();
  void aboutTexts();
  void aboutClosesOnKey_data();
  void aboutClosesOnKey();
  void systemInfo_data();
  void systemInfo();
};

void SplashAboutTest::splashClosesAtOnce_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<bool>("closes");
  QTest::newRow("letter key") << "key:a" << true;
  QTest::newRow("key without a character") << "key:shift" << true;
  QTest::newRow("click on the margin") << "click:margin" << true;
  QTest::newRow("click on the frame's empty area") << "click:Frame1" << true;
  QTest::newRow("click on the product name") << "click:lblProductName" << false;
  QTest::newRow("click on the version") << "click:lblVersion" << false;
  QTest::newRow("click on the logo") << "click:imgLogo" << false;
}

void SplashAboutTest::splashClosesAtOnce() {
  QFETCH(QString, how);
  QFETCH(bool, closes);
  frmSplash splash;
  splash.show();
  QVERIFY(QTest::qWaitForWindowActive(&splash));
  if (how == QLatin1String("key:a")) {
    QTest::keyClick(&splash, Qt::Key_A);
  } else if (how == QLatin1String("key:shift")) {
    QTest::keyPress(&splash, Qt::Key_Shift);
  } else if (how == QLatin1String("click:margin")) {
    QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(2, 2));
  } else if (how == QLatin1String("click:Frame1")) {
    QTest::mouseClick(splash.Frame1, Qt::LeftButton, {}, QPoint(splash.Frame1->width() / 2, splash.Frame1->height() - 6));
  } else {
    auto* target = splash.findChild<QWidget*>(how.mid(6));
    QVERIFY(target);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
  }
  QCOMPARE(!splash.isVisible(), closes);
  if (closes) QCOMPARE(splash.result(), int(QDialog::Accepted));
}

void SplashAboutTest::splashClosesAfterTwoSeconds() {
  frmSplash splash;
  QElapsedTimer clock;
  clock.start();
  splash.show();
  QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 5000);
  QVERIFY(clock.elapsed() >= 1900);
}

void SplashAboutTest::versionText_data() {
  QTest::addColumn<int>("major");
  QTest::addColumn<int>("minor");
  QTest::addColumn<int>("revision");
  QTest::addColumn<QString>("text");
  QTest::newRow("this program") << 1 << 0 << 5 << "Version 1.0.5";
  QTest::newRow("no leading zeros") << 2 << 10 << 0 << "Version 2.10.0";
}

void SplashAboutTest::versionText() {
  QFETCH(int, major);
  QFETCH(int, minor);
  QFETCH(int, revision);
  QFETCH(QString, text);
  QCOMPARE(QtText(VersionText(major, minor, revision)), text);
}

void SplashAboutTest::aboutTexts() {
  RecordingStore store;
  frmAbout about(store);
  frmSplash splash;
  QCOMPARE(about.windowTitle(), QStringLiteral("About"));
  QCOMPARE(about.lblTitle->text(), QStringLiteral("Quillward"));
  QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 1.0.5"));
  QCOMPARE(about.lblDescription->text(), QStringLiteral("Quillward - Encodes ASP, vbs, js, HTML code"));
  QCOMPARE(about.lblDisclaimer->text(), QString());
  QCOMPARE(splash.lblVersion->text(), QStringLiteral("Version 1.0.5"));
  QCOMPARE(splash.lblProductName->text(), QStringLiteral("Quillward"));
}

void SplashAboutTest::aboutClosesOnKey_data() {
  QTest::addColumn<int>("key");
  QTest::newRow("Enter") << int(Qt::Key_Return);
  QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void SplashAboutTest::aboutClosesOnKey() {
  QFETCH(int, key);
  RecordingStore store;
  frmAbout about(store);
  about.show();
  QVERIFY(QTest::qWaitForWindowActive(&about));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
  QVERIFY(!about.isVisible());
}

void SplashAboutTest::systemInfo_data() {
  QTest::addColumn<QString>("configured");
  QTest::addColumn<bool>("startWorks");
  QTest::addColumn<bool>("message");
  QTest::newRow("viewer found and started") << "/opt/viewer" << true << false;
  QTest::newRow("viewer found but does not start") << "/opt/viewer" << false << true;
  QTest::newRow("no viewer") << "" << true << true;
}

void SplashAboutTest::systemInfo() {
  QFETCH(QString, configured);
  QFETCH(bool, startWorks);
  QFETCH(bool, message);
  RecordingStore store;
  auto system = std::make_unique<FakeSystem>();
  FakeSystem* fake = system.get();
  fake->startWorks = startWorks;
  // The same answers from both platforms' lookups.
  if (!configured.isEmpty()) {
    fake->settings[kSysInfoPathKey] = RunText(configured);
    fake->registry.keys["SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"]["PATH"] = {kRegSz, RunText(configured)};
  }
  frmAbout about(store, nullptr, std::move(system));
  about.show();
  MessageBox::TakeShown();
  about.cmdSysInfo->click();
  QCOMPARE(fake->started, configured.isEmpty() ? std::vector<std::string>() : std::vector<std::string>{RunText(configured)});
  const QList<ShownMessage> shown = MessageBox::TakeShown();
  QCOMPARE(shown.size(), message ? 1 : 0);
  if (message) {
    QCOMPARE(shown[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
    QCOMPARE(shown[0].title, QStringLiteral("Quillward"));
    QCOMPARE(shown[0].icon, MessageIcon::None);
    QCOMPARE(shown[0].buttons, MsgButtons::Ok);
    // Which viewers were looked for and how to name one, where the lookup is not the registry's.
    QCOMPARE(shown[0].detail, QtText(SysInfoSearchText()));
    if (!shown[0].detail.isEmpty()) {
      QVERIFY(shown[0].detail.contains(QtText(kSysInfoPathKey)));
      QVERIFY(shown[0].detail.contains(QtText(kKnownViewers.front())));
    }
  }
  QVERIFY(about.isVisible());
}

QTEST_MAIN(SplashAboutTest)
#include "tst_splash_about.moc"
