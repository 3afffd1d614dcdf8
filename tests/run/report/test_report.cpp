// The report's pieces where faults hide: JSON strings a parser reads back as they were,
// base64, times in UTC, and which paths need their bytes kept.
#include "run/util/json_writer.h"
#include "run/report/report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestReport : public QObject {
  Q_OBJECT
private slots:
  void stringsReadBack_data();
  void stringsReadBack();
  void nesting();
  void base64_data();
  void base64();
  void isoUtc_data();
  void isoUtc();
  void lostBytes_data();
  void lostBytes();
};

void TestReport::stringsReadBack_data() {
  QTest::addColumn<QByteArray>("in");
  QTest::addColumn<QString>("back");      // what a JSON parser reads
  QTest::addColumn<QByteArray>("quoted");  // empty: not checked
  QTest::newRow("plain") << QByteArray("a/b.asp") << "a/b.asp" << QByteArray("\"a/b.asp\"");
  QTest::newRow("quote and backslash") << QByteArray("a\"b\\c") << "a\"b\\c" << QByteArray("\"a\\\"b\\\\c\"");
  QTest::newRow("controls") << QByteArray("\t\n\r\b\f\x01\x1f\x7f", 8) << QString::fromUtf8("\t\n\r\b\f\x01\x1f\x7f", 8)
                            << QByteArray("\"\\t\\n\\r\\b\\f\\u0001\\u001f\\u007f\"");
  QTest::newRow("NUL") << QByteArray("a\0b", 3) << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"))
                       << QByteArray("\"a\\u0000b\"");
  QTest::newRow("line and paragraph separators") << QByteArray("a\xE2\x80\xA8" "b\xE2\x80\xA9")
                                                 << QString::fromUtf8("a\xE2\x80\xA8" "b\xE2\x80\xA9")
                                                 << QByteArray("\"a\\u2028b\\u2029\"");
  QTest::newRow("other text as it is") << QByteArray("\xC3\xA9\xF0\x9F\x98\x80/") << QString::fromUtf8("\xC3\xA9\xF0\x9F\x98\x80/")
                                       << QByteArray("\"\xC3\xA9\xF0\x9F\x98\x80/\"");
  QTest::newRow("bytes not UTF-8") << QByteArray("caf\xE9\xC3") << QString::fromUtf8("caf\xEF\xBF\xBD\xEF\xBF\xBD")
                                   << QByteArray();
  QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80") << QString::fromUtf8("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD")
                                     << QByteArray();
}

void TestReport::stringsReadBack() {
  QFETCH(QByteArray, in);
  QFETCH(QString, back);
  QFETCH(QByteArray, quoted);
  const std::string literal = JsonQuoted(in.toStdString());
  if (!quoted.isEmpty()) QCOMPARE(QByteArray::fromStdString(literal), quoted);
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson("[" + QByteArray::fromStdString(literal) + "]", &error);
  QCOMPARE(error.error, QJsonParseError::NoError);
  QCOMPARE(doc.array().at(0).toString(), back);
}

void TestReport::nesting() {
  JsonWriter json;
  json.BeginObject();
  json.Key("empty");
  json.BeginArray();
  json.EndArray();
  json.Key("list");
  json.BeginArray();
  json.Integer(-1);
  json.Unsigned(18446744073709551615ull);
  json.Fixed(1.5, 3);
  json.Bool(false);
  json.Null();
  json.BeginObject();
  json.EndObject();
  json.EndArray();
  json.EndObject();
  const std::string text = json.Text();
  QVERIFY(text.ends_with("}\n"));
  QCOMPARE(QByteArray::fromStdString(text),
           QByteArray("{\n  \"empty\": [],\n  \"list\": [\n    -1,\n    18446744073709551615,\n    1.500,\n"
                      "    false,\n    null,\n    {}\n  ]\n}\n"));
}

void TestReport::base64_data() {
  QTest::addColumn<QByteArray>("in");
  for (const char* s : {"", "f", "fo", "foo", "foob", "fooba", "foobar"}) QTest::newRow(s) << QByteArray(s);
  QTest::newRow("high bytes") << QByteArray("\xff\xfe\x00\x80", 4);
}

void TestReport::base64() {
  QFETCH(QByteArray, in);
  QCOMPARE(QByteArray::fromStdString(Base64(in.toStdString())), in.toBase64());
}

void TestReport::isoUtc_data() {
  QTest::addColumn<qint64>("ms");
  QTest::addColumn<QString>("text");
  QTest::newRow("epoch") << qint64(0) << "1970-01-01T00:00:00.000Z";
  QTest::newRow("leap day") << qint64(951782400123) << "2000-02-29T00:00:00.123Z";
  QTest::newRow("last millisecond of a year") << qint64(1704067199999) << "2023-12-31T23:59:59.999Z";
  QTest::newRow("before the epoch") << qint64(-1) << "1969-12-31T23:59:59.999Z";
}

void TestReport::isoUtc() {
  QFETCH(qint64, ms);
  QFETCH(QString, text);
  const auto time = std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
  QCOMPARE(QString::fromStdString(IsoUtc(time)), text);
}

void TestReport::lostBytes_data() {
  QTest::addColumn<QByteArray>("native");
  QTest::addColumn<bool>("lost");
  QTest::newRow("ASCII") << QByteArray("/srv/site/a.asp") << false;
  QTest::newRow("UTF-8") << QByteArray("/srv/caf\xC3\xA9") << false;
  QTest::newRow("Latin-1 byte") << QByteArray("/srv/caf\xE9") << true;
  QTest::newRow("cut sequence") << QByteArray("/srv/\xC3") << true;
  QTest::newRow("replacement character itself") << QByteArray("/srv/\xEF\xBF\xBD") << false;
}

void TestReport::lostBytes() {
  QFETCH(QByteArray, native);
  QFETCH(bool, lost);
  const std::string kept = LostBytesOf(std::filesystem::path(native.toStdString()));
  QCOMPARE(!kept.empty(), lost);
  if (lost) QCOMPARE(QByteArray::fromBase64(QByteArray::fromStdString(kept)), native);
}

QTEST_GUILESS_MAIN(TestReport)
#include "test_report.moc"
