// The command line of quillward-batch, parsed without starting a run.
#include "batch_args.h"

#include <QtTest>

namespace {
std::vector<std::filesystem::path> Args(const QStringList& list) {
  std::vector<std::filesystem::path> out;
  // "\\xe9" in a test's text stands for the byte 0xE9: a name that is not UTF-8.
  for (const QString& s : list) out.emplace_back(s.toUtf8().replace("\\xe9", "\xe9").toStdString());
  return out;
}
}  // namespace

class TestBatchArgs : public QObject {
  Q_OBJECT
private slots:
  void parse_data();
  void parse();
};

void TestBatchArgs::parse_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("source");  // empty when an error is expected
  QTest::addColumn<QString>("overrides");
  QTest::newRow("two paths") << QStringList{"a", "b"} << "a" << "";
  QTest::newRow("keys keep their own spelling") << QStringList{"--set", "check2=1", "--set=COMBO1=JScript", "a", "b"} << "a" << "Check2=1;Combo1=JScript";
  QTest::newRow("value with = and blanks") << QStringList{"--set", "txtDefxt=*.inc *.a=b", "a", "b"} << "a" << "txtDefxt=*.inc *.a=b";
  QTest::newRow("empty value") << QStringList{"--set", "txtDefxt=", "a", "b"} << "a" << "txtDefxt=";
  QTest::newRow("dash path after --") << QStringList{"--", "-a", "--set"} << "-a" << "";
  QTest::newRow("lone dash is a path") << QStringList{"-", "b"} << "-" << "";
  QTest::newRow("dash path before --") << QStringList{"-a", "b"} << "" << "";
  QTest::newRow("key without =") << QStringList{"--set", "chkASP", "a", "b"} << "" << "";
  QTest::newRow("exclude and verbose are not settings") << QStringList{"--exclude", "*.bak", "--exclude=.git/", "-v", "a", "b"} << "a" << "";
  QTest::newRow("exclude without a pattern") << QStringList{"a", "b", "--exclude"} << "" << "";
  QTest::newRow("exclude with an empty pattern") << QStringList{"--exclude=", "a", "b"} << "" << "";
  QTest::newRow("empty key") << QStringList{"--set", "=1", "a", "b"} << "" << "";
  QTest::newRow("dry run and report are not settings") << QStringList{"--dry-run", "--report", "r.json", "a", "b"} << "a" << "";
  QTest::newRow("report=FILE") << QStringList{"--report=r.json", "a", "b"} << "a" << "";
  QTest::newRow("report takes the next word whatever it is") << QStringList{"--report", "--", "a", "b"} << "a" << "";
  QTest::newRow("report without a file") << QStringList{"a", "b", "--report"} << "" << "";
  QTest::newRow("report with an empty file") << QStringList{"--report=", "a", "b"} << "" << "";
  QTest::newRow("report name not text") << QStringList{"--report", "r\\xe9.json", "a", "b"} << "" << "";
  QTest::newRow("patterns for every site by --set") << QStringList{"--set", "txtExclude=*.bak logs/", "a", "b"} << "a" << "txtExclude=*.bak logs/";
  QTest::newRow("changed and delete by --set") << QStringList{"--set", "chkChanged=on", "--set", "chkDelete=0", "a", "b"} << "a" << "chkChanged=1;chkDelete=0";
  QTest::newRow("changed and delete are the check boxes") << QStringList{"--changed", "--delete", "--checksum", "a", "b"} << "a" << "chkChanged=1;chkDelete=1";
  QTest::newRow("delete-excluded deletes too") << QStringList{"--delete-excluded", "a", "b"} << "a" << "chkDelete=1;chkDeleteExcluded=1";
  QTest::newRow("delete-excluded by --set") << QStringList{"--set", "chkdeleteexcluded=yes", "a", "b"} << "a" << "chkDeleteExcluded=1";
  QTest::newRow("max-delete as two words") << QStringList{"--max-delete", "0", "a", "b"} << "a" << "";
  QTest::newRow("max-delete with =") << QStringList{"--max-delete=250", "a", "b"} << "a" << "";
  QTest::newRow("max-delete negative") << QStringList{"--max-delete", "-1", "a", "b"} << "" << "";
  QTest::newRow("max-delete not a number") << QStringList{"--max-delete=many", "a", "b"} << "" << "";
  QTest::newRow("max-delete without a number") << QStringList{"a", "b", "--max-delete"} << "" << "";
}

void TestBatchArgs::parse() {
  QFETCH(QStringList, args);
  QFETCH(QString, source);
  QFETCH(QString, overrides);
  const BatchArgs parsed = ParseBatchArgs(Args(args));
  if (source.isEmpty()) {
    QVERIFY(!parsed.error.empty());
    return;
  }
  QVERIFY2(parsed.error.empty(), parsed.error.c_str());
  QCOMPARE(QString::fromStdString(parsed.source.native()), source);
  QStringList got;
  for (const auto& [key, value] : parsed.overrides) got << QString::fromStdString(key + "=" + value);
  QCOMPARE(got.join(QLatin1Char(';')), overrides);
}

QTEST_GUILESS_MAIN(TestBatchArgs)
#include "test_batch_args.moc"
