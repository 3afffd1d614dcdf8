// Every caption fits its control in the desktop's default font, twips turn into pixels
// by the logical DPI and the layout scale, the main window grows (and no smaller than
// its classic size), the folder lists' focus mark, paths and listings.

#include "Dialog.h"
#include "folder_list.h"
#include "folders.h"
#include "frmAbout.h"
#include "frmEncrypt.h"
#include "frmSplash.h"
#include "twips.h"
#include "ui_test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

namespace {

std::unique_ptr<QWidget> MakeWindow(const QString& name, SettingsStore& store) {
  if (name == QLatin1String("frmEncrypt")) {
    // At its least size, laid out.
    auto window = std::make_unique<frmEncrypt>(store);
    window->resize(window->minimumSizeHint());
    window->show();
    return window;
  }
  if (name == QLatin1String("Dialog")) return std::make_unique<Dialog>(store);
  if (name == QLatin1String("frmSplash")) return std::make_unique<frmSplash>();
  return std::make_unique<frmAbout>(store);
}

QString Caption(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  return QString();
}

// How much of the control's width its caption needs.
int WidthNeeded(QWidget* w) {
  const QFontMetrics fm = w->fontMetrics();
  const QString text = Caption(w).remove(u'&');
  if (qobject_cast<QCheckBox*>(w)) return w->sizeHint().width();
  if (qobject_cast<QPushButton*>(w)) return fm.horizontalAdvance(text) + 2 * w->style()->pixelMetric(QStyle::PM_ButtonMargin);
  if (qobject_cast<QGroupBox*>(w)) return fm.horizontalAdvance(text) + 16;
  return fm.horizontalAdvance(text);
}

void WriteFile(const QString& path) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { PrepareWindowTests(); }

  void captionFits_data();
  void captionFits();
  void twipsFollowTheDpi();
  void clientSizes_data();
  void clientSizes();
  void mainWindowGrows_data();
  void mainWindowGrows();
  void folderListFocusMark();
  void trailingSeparator_data();
  void trailingSeparator();
  void cleanFolderPath_data();
  void cleanFolderPath();
  void folderAccess();
  void folderListOpensOnDoubleClick_data();
  void folderListOpensOnDoubleClick();
};

void LayoutTest::captionFits_data() {
  QTest::addColumn<QString>("window");
  QTest::addColumn<QString>("control");
  RecordingStore store;
  for (const char* name : {"frmEncrypt", "Dialog", "frmSplash", "frmAbout"}) {
    const QString window = QString::fromLatin1(name);
    const auto w = MakeWindow(window, store);
    for (QWidget* child : w->findChildren<QWidget*>()) {
      if (child->objectName().isEmpty() || Caption(child).isEmpty()) continue;
      QTest::addRow("%s.%s", name, qPrintable(child->objectName())) << window << child->objectName();
    }
  }
}

void LayoutTest::captionFits() {
  QFETCH(QString, window);
  QFETCH(QString, control);
  RecordingStore store;
  const auto w = MakeWindow(window, store);
  QWidget* c = w->findChild<QWidget*>(control);
  QVERIFY(c);
  auto* label = qobject_cast<QLabel*>(c);
  if (label && label->wordWrap()) {
    QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
             qPrintable(QStringLiteral("needs %1 px of %2").arg(label->heightForWidth(label->width())).arg(label->height())));
    return;
  }
  QVERIFY2(WidthNeeded(c) <= c->width(),
           qPrintable(QStringLiteral("needs %1 px of %2").arg(WidthNeeded(c)).arg(c->width())));
  QVERIFY2(c->fontMetrics().height() <= c->height() + 1,
           qPrintable(QStringLiteral("text %1 px high in %2").arg(c->fontMetrics().height()).arg(c->height())));
  QVERIFY(c->geometry().right() < c->parentWidget()->width());
}

void LayoutTest::twipsFollowTheDpi() {
  const double dpi = LogicalDpiX();
  QVERIFY(LayoutScale() >= 1.0);
  QCOMPARE(TwipsX(1440), qRound(dpi * LayoutScale()));
  QCOMPARE(TwipsX(0), 0);
  // Edges are rounded, so neighbours that touch in twips touch in pixels.
  const QRect left = TwipsRect(0, 0, 1000, 100);
  const QRect right = TwipsRect(1000, 0, 1000, 100);
  QCOMPARE(left.right() + 1, right.left());
}

void LayoutTest::clientSizes_data() {
  QTest::addColumn<QString>("window");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::newRow("Options") << "Dialog" << 6030 << 7230;  // the classic 3930, with "Runs" below
  QTest::newRow("splash") << "frmSplash" << 7380 << 2355;
  QTest::newRow("About") << "frmAbout" << 5730 << 3555;
}

void LayoutTest::clientSizes() {
  QFETCH(QString, window);
  QFETCH(int, width);
  QFETCH(int, height);
  RecordingStore store;
  const auto w = MakeWindow(window, store);
  QCOMPARE(w->size(), TwipsSize(width, height));
  QCOMPARE(w->minimumSize(), w->maximumSize());  // not resizable
}

void LayoutTest::mainWindowGrows_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<double>("wider");    // share of the extra width it grows by
  QTest::addColumn<double>("taller");   // share of the extra height
  QTest::addColumn<bool>("toCorner");   // keeps its distance to the lower right corner
  QTest::newRow("source folders") << "Dir1" << 0.5 << 0.5 << false;
  QTest::newRow("destination folders") << "Dir2" << 0.5 << 0.5 << false;
  QTest::newRow("log") << "Text1" << 1.0 << 0.5 << false;
  QTest::newRow("source path") << "txtPath1" << 0.5 << 0.0 << false;
  QTest::newRow("Start") << "Command1" << 0.0 << 0.0 << true;
  QTest::newRow("Stop") << "Command2" << 0.0 << 0.0 << true;
}

// The client area's least size is the classic window's; what it grows beyond goes to
// the folder lists and the log, and the buttons keep to the corner.
void LayoutTest::mainWindowGrows() {
  QFETCH(QString, control);
  QFETCH(double, wider);
  QFETCH(double, taller);
  QFETCH(bool, toCorner);
  RecordingStore store;
  frmEncrypt window(store);
  window.resize(1, 1);  // no smaller than the least size
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QWidget* client = window.centralWidget();
  QCOMPARE(client->size(), TwipsSize(7620, 6645));
  QWidget* c = window.findChild<QWidget*>(control);
  const QRect before = c->geometry();
  const QPoint cornerBefore = QPoint(client->width(), client->height()) - before.bottomRight();
  const QSize extra(300, 200);
  window.resize(window.size() + extra);
  QTRY_COMPARE(client->size(), TwipsSize(7620, 6645) + extra);
  const QRect after = c->geometry();
  QVERIFY(qAbs(after.width() - before.width() - wider * extra.width()) <= 1);
  QVERIFY(qAbs(after.height() - before.height() - taller * extra.height()) <= 1);
  if (toCorner) QCOMPARE(QPoint(client->width(), client->height()) - after.bottomRight(), cornerBefore);
}

// The focused folder list has a frame of two pixels in the highlight colour; the other
// list does not.
void LayoutTest::folderListFocusMark() {
  RecordingStore store;
  frmEncrypt window(store);
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  window.Dir2->setFocus();
  QTRY_VERIFY(window.Dir2->hasFocus());
  const QColor highlight = window.Dir2->palette().color(QPalette::Highlight);
  const QImage focused = window.Dir2->grab().toImage();
  const QImage other = window.Dir1->grab().toImage();
  const int y = focused.height() / 2;
  for (int x : {0, 1}) {
    QCOMPARE(focused.pixelColor(x, y), highlight);
    QVERIFY(other.pixelColor(x, y) != highlight);
  }
}

void LayoutTest::trailingSeparator_data() {
  QTest::addColumn<QString>("dir");
  QTest::addColumn<QString>("separator");
  QTest::addColumn<QString>("appDir");
  QTest::newRow("folder") << "C:\\Tools" << "\\" << "C:\\Tools\\";
  QTest::newRow("drive root") << "C:\\" << "\\" << "C:\\";
  QTest::newRow("posix folder") << "/opt/quillward" << "/" << "/opt/quillward/";
  QTest::newRow("posix root") << "/" << "/" << "/";
}

void LayoutTest::trailingSeparator() {
  QFETCH(QString, dir);
  QFETCH(QString, separator);
  QFETCH(QString, appDir);
  QCOMPARE(WithTrailingSeparator(dir, separator[0]), appDir);
}

void LayoutTest::cleanFolderPath_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("clean");
  QTest::newRow("trailing separator") << "/srv/site/" << "/srv/site";
  QTest::newRow("root keeps its separator") << "/" << "/";
  QTest::newRow("dots") << "/srv/./site/../out" << "/srv/out";
  QTest::newRow("doubled separators") << "/srv//site" << "/srv/site";
}

void LayoutTest::cleanFolderPath() {
  QFETCH(QString, path);
  QFETCH(QString, clean);
  QCOMPARE(CleanFolderPath(path), QDir::toNativeSeparators(clean));
}

void LayoutTest::folderAccess() {
  QTemporaryDir temp;
  WriteFile(temp.filePath(QStringLiteral("file")));
  QCOMPARE(CheckFolder(temp.path()), FolderAccess::Ok);
  QCOMPARE(CheckFolder(temp.filePath(QStringLiteral("missing"))), FolderAccess::Unavailable);
  QCOMPARE(CheckFolder(temp.filePath(QStringLiteral("file"))), FolderAccess::Unavailable);
}

void LayoutTest::folderListOpensOnDoubleClick_data() {
  QTest::addColumn<QString>("item");  // the item's text
  QTest::addColumn<QString>("opens");  // relative to the temp folder, or "/" for the root
  QTest::newRow("a folder inside") << "inner" << "start/inner";
  QTest::newRow("the root") << "/" << "/";
}

void LayoutTest::folderListOpensOnDoubleClick() {
  QFETCH(QString, item);
  QFETCH(QString, opens);
  QTemporaryDir temp;
  QVERIFY(QDir().mkpath(temp.filePath(QStringLiteral("start/inner"))));
  FolderList list(nullptr);
  list.resize(240, 200);
  QCOMPARE(list.SetPath(temp.filePath(QStringLiteral("start")) + u'/'), FolderAccess::Ok);
  QCOMPARE(list.Path(), QDir::toNativeSeparators(temp.filePath(QStringLiteral("start"))));
  list.show();
  QVERIFY(QTest::qWaitForWindowExposed(&list));
  QSignalSpy changes(&list, &FolderList::Change);
  const QList<QTreeWidgetItem*> found = list.findItems(QDir::toNativeSeparators(item), Qt::MatchExactly | Qt::MatchRecursive);
  QCOMPARE(found.size(), 1);
  list.scrollToItem(found[0]);
  const QPoint at = list.visualItemRect(found[0]).center();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
  const QString expected = opens == QLatin1String("/") ? QDir::rootPath() : temp.filePath(opens);
  QCOMPARE(list.Path(), QDir::toNativeSeparators(CleanFolderPath(expected)));
  QCOMPARE(changes.count(), 1);
}

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
