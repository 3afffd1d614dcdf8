// The run's text without Qt, held against what Qt gave the earlier builds: the repair of
// names that are not UTF-8 (the log shows them as before: Qt decoded POSIX names as
// UTF-8), case folding and the order of names, and numbers as the settings hold them.
#include "run/util/fs_ops.h"
#include "run/util/text.h"
#include "run/walk/walk.h"

#include <QRandomGenerator>
#include <QtTest>
#include <algorithm>

class TestText : public QObject {
  Q_OBJECT
private slots:
  void repairIsQtsForEveryByteString_data();
  void repairIsQtsForEveryByteString();
  void repairOfRandomBytes();
  void utf16RoundTrip();
  void foldingIsQtsForTheCoveredScripts();
  void nameOrderIsQts();
  void numbers_data();
  void numbers();
  void trimmed();
};

void TestText::repairIsQtsForEveryByteString_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::newRow("ascii") << QByteArray("a.txt");
  QTest::newRow("latin1 byte") << QByteArray("a\xff" "b");
  QTest::newRow("lone lead") << QByteArray("\xc3");
  QTest::newRow("lead, then ascii") << QByteArray("\xc3(");
  QTest::newRow("cut three-byte") << QByteArray("\xe2\x82");
  QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80");
  QTest::newRow("overlong slash") << QByteArray("\xc0\xaf");
  QTest::newRow("overlong three-byte") << QByteArray("\xe0\x80\xaf");
  QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80");
  QTest::newRow("cut four-byte") << QByteArray("\xf0\x9f\x98");
  QTest::newRow("emoji") << QByteArray("\xf0\x9f\x98\x80");
  QTest::newRow("continuations") << QByteArray("\x80\x80");
  QTest::newRow("five-byte form") << QByteArray("\xf8\x88\x80\x80\x80");
  QTest::newRow("noncharacter") << QByteArray("\xef\xbf\xbe");
}

void TestText::repairIsQtsForEveryByteString() {
  QFETCH(QByteArray, bytes);
  QCOMPARE(QByteArray::fromStdString(ValidUtf8(bytes.toStdString())), QString::fromUtf8(bytes).toUtf8());
}

void TestText::repairOfRandomBytes() {
  QRandomGenerator random(10);
  for (int i = 0; i < 5000; ++i) {
    QByteArray bytes;
    const int n = random.bounded(1, 12);
    for (int k = 0; k < n; ++k) {
      // Mostly the bytes that make up or break UTF-8 sequences.
      static const char kBytes[] = {'a', '\x80', '\xbf', '\xc2', '\xc3', '\xdf', '\xe0', '\xe2',
                                    '\xed', '\xef', '\xf0', '\xf4', '\xf5', '\xff', '\x90', '\xa0'};
      bytes += kBytes[random.bounded(int(sizeof kBytes))];
    }
    QCOMPARE(QByteArray::fromStdString(ValidUtf8(bytes.toStdString())), QString::fromUtf8(bytes).toUtf8());
  }
}

void TestText::utf16RoundTrip() {
  const QString text = QString::fromUtf8("a é 中文 \xf0\x9f\x98\x80 z");
  const std::u16string units(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
  QCOMPARE(Utf16FromUtf8(text.toStdString()), units);
  QCOMPARE(Utf8FromUtf16(units), text.toStdString());
  const std::u16string lone = {u'a', char16_t(0xD800), u'b'};
  QCOMPARE(Utf8FromUtf16(lone), std::string("a\xef\xbf\xbd" "b"));
}

void TestText::foldingIsQtsForTheCoveredScripts() {
  const std::pair<char32_t, char32_t> ranges[] = {{0x0000, 0x058F}, {0x1E00, 0x1EFF}, {0xFF00, 0xFFEF}};
  for (const auto& [first, last] : ranges) {
    for (char32_t cp = first; cp <= last; ++cp) {
      const QString folded = QString(QChar(char16_t(cp))).toCaseFolded();
      QCOMPARE(uint(FoldCase(cp)), uint(folded.at(0).unicode()));
    }
  }
  QCOMPARE(FoldCase(std::string("ÄPFEL Straße ẞ ΣΊΣΥΦΟΣ МОСКВА")),
           QString::fromUtf8("ÄPFEL Straße ẞ ΣΊΣΥΦΟΣ МОСКВА").toCaseFolded().toStdString());
}

// The order the earlier builds gave: names folded by Qt, compared as UTF-16, ties by
// the exact bytes.
void TestText::nameOrderIsQts() {
  static const char* const kPieces[] = {"a", "A", "b", "Z", "z", "é", "É", "ä", "Ä", "ß", "ẞ", "ñ", "Ñ", "ø",
                                        "Ø", "ı", "İ", "σ", "Σ", "ς", "ж", "Ж", "_", "-", "1", ".", "\xff"};
  QRandomGenerator random(20);
  std::vector<FolderEntry> entries;
  for (int i = 0; i < 400; ++i) {
    std::string name;
    for (int k = random.bounded(1, 5); k > 0; --k) name += kPieces[random.bounded(int(std::size(kPieces)))];
    FolderEntry e;
    e.name = name;
    e.displayName = ValidUtf8(name);
    entries.push_back(e);
  }
  std::vector<FolderEntry> expected = entries;
  std::stable_sort(expected.begin(), expected.end(), [](const FolderEntry& a, const FolderEntry& b) {
    const QString fa = QString::fromStdString(a.displayName).toCaseFolded();
    const QString fb = QString::fromStdString(b.displayName).toCaseFolded();
    if (fa != fb) return fa < fb;
    return a.name.native() < b.name.native();
  });
  SortByName(entries);
  for (size_t i = 0; i < entries.size(); ++i) QCOMPARE(entries[i].name.native(), expected[i].name.native());
}

void TestText::numbers_data() {
  QTest::addColumn<QString>("text");
  for (const char* s : {"1", "0", "-1", "+5", " 7 ", "05", "2.5", ".5", "5.", "1e3", "1E-2", "inf", "-inf",
                        "nan", "NaN", "+.0", "0.0", "", " ", "yes", "1,5", "0x10", "1e400", "infinity",
                        "--1", "+-1", "1d", "e5", "1e", "2147483647", "2147483648", "-2147483648", "\u00a01"}) {
    QTest::newRow(s) << QString::fromUtf8(s);
  }
}

void TestText::numbers() {
  QFETCH(QString, text);
  bool qtOk = false;
  const double qtValue = text.toDouble(&qtOk);
  double value = 0;
  QCOMPARE(ParseNumber(text.toStdString(), value), qtOk);
  if (qtOk && qtValue == qtValue) QCOMPARE(value, qtValue);
  const int qtInt = text.toInt(&qtOk);
  int number = 0;
  QCOMPARE(ParseInt(text.toStdString(), number), qtOk);
  if (qtOk) QCOMPARE(number, qtInt);
}

void TestText::trimmed() {
  QCOMPARE(Trimmed("\t a b \xc2\xa0\n"), std::string("a b"));
  QCOMPARE(Trimmed("\xe3\x80\x80x\xe3\x80\x80"), std::string("x"));  // ideographic space
  QCOMPARE(Trimmed("   "), std::string());
}

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
