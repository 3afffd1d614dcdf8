// The end-of-run notice through a real session bus (dbus-run-session gives the test its
// own): the message a notification service receives from ShowDesktopNotice and from the
// window at the end of a long run, and that nothing is sent where no service runs.

#include "desktop_notice.h"
#include "window_fixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

// A notification service, as a desktop runs one: records what it is asked to show.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
  struct Call {
    QString app, icon, summary, body;
    QVariantMap hints;
    int timeout;
  };
  QList<Call> calls;

public slots:
  uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap& hints, int timeout) {
    calls.append({app, icon, summary, body, hints, timeout});
    return uint(calls.size());
  }
};

}  // namespace

class DesktopNoticeTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void noServiceNoNotice();
  void noticeReachesTheService();
  void longRunEndsWithANotice();
  void cleanupTestCase();

private:
  bool Serve();
  FakeNotifications fake_;
};

void DesktopNoticeTest::initTestCase() {
  PrepareWindowTests();
  QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no session bus: run under dbus-run-session");
}

bool DesktopNoticeTest::Serve() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake_, QDBusConnection::ExportAllSlots) &&
         bus.registerService(kService);
}

void DesktopNoticeTest::noServiceNoNotice() {
  QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value());
  QVERIFY(!ShowDesktopNotice(QStringLiteral("summary"), QStringLiteral("body")));
}

void DesktopNoticeTest::noticeReachesTheService() {
  QVERIFY(Serve());
  QVERIFY(ShowDesktopNotice(QStringLiteral("Quillward: run ended"), QStringLiteral("Done: 3 files, 0 failed, in 12 s")));
  QTRY_COMPARE(fake_.calls.size(), 1);
  const FakeNotifications::Call& c = fake_.calls[0];
  QCOMPARE(c.app, QStringLiteral("Quillward"));
  QCOMPARE(c.icon, QStringLiteral("quillward"));
  QCOMPARE(c.summary, QStringLiteral("Quillward: run ended"));
  QCOMPARE(c.body, QStringLiteral("Done: 3 files, 0 failed, in 12 s"));
  QCOMPARE(c.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("quillward"));
  QCOMPARE(c.timeout, -1);
}

// The window's own notifier, at the end of a run counted as long, with the user in
// another window.
void DesktopNoticeTest::longRunEndsWithANotice() {
  fake_.calls.clear();
  WindowFixture f;
  QVERIFY(f.Make());
  f.window->SetNoticeAfter(0);
  QWidget other;
  DuringRun(f.window.get(), [&] {
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
  });
  f.window->Command1->click();
  QTRY_COMPARE(fake_.calls.size(), 1);
  QVERIFY2(fake_.calls[0].body.startsWith(QStringLiteral("Done: 6 files, 0 failed, in ")), qPrintable(fake_.calls[0].body));
}

void DesktopNoticeTest::cleanupTestCase() { QDBusConnection::sessionBus().unregisterService(kService); }

QTEST_MAIN(DesktopNoticeTest)
#include "tst_desktop_notice.moc"
