// The encoder's command lines, as text and as an argument vector.
#include "run/encoder/basShell.h"
#include "run/encoder/encoder_command.h"
#include "run/util/native_path.h"

#include <QtTest>

Q_DECLARE_METATYPE(FileKind)

namespace {
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string S(const QString& text) { return text.toStdString(); }
}  // namespace

class TestEncoderCommand : public QObject {
  Q_OBJECT
private slots:
  void text_data();
  void text();
  void argumentsKeepNamesWhole();
  void emptyLanguageIsLeftOut();
};

void TestEncoderCommand::text_data() {
  QTest::addColumn<FileKind>("kind");
  QTest::addColumn<bool>("noDirective");
  QTest::addColumn<QString>("appDir");
  QTest::addColumn<QString>("source");
  QTest::addColumn<QString>("expected");
  const QString e = Q(EncoderFileName());
  QTest::newRow("asp page, box set") << FileKind::EncodeAspPage << true << "/opt/q/" << "/s/a.asp"
      << QStringLiteral("\"/opt/q/%1\" /xl  /s /l VBScript \"/s/a.asp\" \"/d/a.asp\"").arg(e);
  QTest::newRow("asp page, box cleared") << FileKind::EncodeAspPage << false << "/opt/q/" << "/s/a.asp"
      << QStringLiteral("\"/opt/q/%1\" /s /l VBScript \"/s/a.asp\" \"/d/a.asp\"").arg(e);
  QTest::newRow("html") << FileKind::EncodeHtml << true << "/opt/q/" << "/s/a.asp"
      << QStringLiteral("\"/opt/q/%1\" /s /l JScript \"/s/a.asp\" \"/d/a.asp\"").arg(e);
  QTest::newRow("plain") << FileKind::EncodePlain << true << "/opt/q/" << "/s/a.asp"
      << QStringLiteral("\"/opt/q/%1\" /s \"/s/a.asp\" \"/d/a.asp\"").arg(e);
  QTest::newRow("by extension") << FileKind::EncodeAspByExtension << false << "/opt/q/" << "/s/a.asp"
      << QStringLiteral("\"/opt/q/%1\" /s /e asp /xl /l VBScript \"/s/a.asp\" \"/d/a.asp\"").arg(e);
  QTest::newRow("blanks") << FileKind::EncodePlain << true << "/opt/Program Files/q/" << "/my site/a b.js"
      << QStringLiteral("\"/opt/Program Files/q/%1\" /s \"/my site/a b.js\" \"/d/a.asp\"").arg(e);
}

void TestEncoderCommand::text() {
  QFETCH(FileKind, kind);
  QFETCH(bool, noDirective);
  QFETCH(QString, appDir);
  QFETCH(QString, source);
  QFETCH(QString, expected);
  RunSettings s;
  s.AspLanguage = "VBScript";
  s.HtmlLanguage = "JScript";
  s.AspSwitch = noDirective ? " /xl " : "";
  const EncoderCommand cmd = BuildEncoderCommand(kind, ToNativePath(S(appDir)), s, ToNativePath(S(source)), ToNativePath("/d/a.asp"));
  QCOMPARE(Q(cmd.text), expected);
  QCOMPARE(Q(ToDisplayPath(cmd.program)), appDir + Q(EncoderFileName()));
}

void TestEncoderCommand::argumentsKeepNamesWhole() {
  RunSettings s;
  s.AspLanguage = "VBScript";
  s.AspSwitch = " /xl ";
  const std::filesystem::path src = std::string("/s/\"q\" a\nb-\xff.asp");
  const std::filesystem::path dst = std::string("/d/-x.asp");
  const EncoderCommand cmd = BuildEncoderCommand(FileKind::EncodeAspPage, "/a/", s, src, dst);
  const std::vector<std::filesystem::path::string_type> expected = {
      "/xl", "/s", "/l", "VBScript", src.native(), dst.native()};
  QVERIFY(cmd.arguments == expected);
}

void TestEncoderCommand::emptyLanguageIsLeftOut() {
  RunSettings s;  // both languages empty, as a hand-edited store may leave them
  const EncoderCommand cmd = BuildEncoderCommand(FileKind::EncodeHtml, "/a/", s, ToNativePath("/s/x.htm"),
                                                 ToNativePath("/d/x.htm"));
  QCOMPARE(cmd.arguments.size(), size_t(3));
  QVERIFY(cmd.text.find("/l") == std::string::npos);
}

QTEST_GUILESS_MAIN(TestEncoderCommand)
#include "test_encoder_command.moc"
