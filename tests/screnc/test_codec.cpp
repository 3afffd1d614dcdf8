// The block codec and the character sets: real one-block vectors, the escape and
// counting rules, the decoder's checks, and a round-trip property on random text.
#include <QtTest>

#include <random>

#include "support.h"

using namespace screnc;
using support::block;
using support::bytes;
using support::decoded;
using support::str;

Q_DECLARE_METATYPE(screnc::Charset)

namespace {

// The BODY of a block made by encode_block: between the LEN field and the SUM field.
std::string body_of(const std::string& b) { return b.substr(12, b.size() - 12 - 12); }

std::string len_field(const std::string& b) { return b.substr(4, 8); }

std::string field(std::uint32_t v) {
  char f[8];
  base64_u32(v, f);
  return std::string(f, 8);
}

// Random text of one character set: ASCII with the characters that need escapes,
// TAB, DEL and other controls, and characters above U+007F in that set's own form.
// Up to max_len characters; with sparse, mostly plain ASCII, as most script is, so that
// long runs without an escape or a wide character are made too.
template <class C>
std::basic_string<C> random_text(std::mt19937& rng, Charset cs, int max_len = 200,
                                 bool sparse = false) {
  static const char ascii[] = "\r\n<>@\t\x7f\x01\x1f #^~%=\"'abcXYZ019{}/*";
  std::uniform_int_distribution<int> len(0, max_len), pick(0, 9), any_ascii(0, 127),
      special(0, int(sizeof ascii) - 2), byte(0x80, 0xFF), trail(0x40, 0xFE);
  std::basic_string<C> s;
  const int n = len(rng);
  std::uniform_int_distribution<int> rare(0, 39);
  for (int k = 0; k < n; ++k) {
    const int p = sparse && rare(rng) != 0 ? 5 : pick(rng);
    if (p < 4) {
      s.push_back(C(ascii[special(rng)]));
    } else if (p < 7) {
      s.push_back(C(any_ascii(rng)));
    } else if constexpr (sizeof(C) == 2) {
      s.push_back(C(std::uniform_int_distribution<int>(0x80, 0xFFFF)(rng)));
    } else if (cs == Charset::Utf8) {
      for (unsigned char b : std::string(p == 7 ? "\xC3\xA9" : p == 8 ? "\xE9\xBB\x91" : "\xF0\x9F\x98\x80"))
        s.push_back(C(b));
    } else if (cs == Charset::SingleByte) {
      s.push_back(C(byte(rng)));
    } else {
      // A valid double-byte character of this code page.
      unsigned char pair[2];
      do {
        pair[0] = static_cast<unsigned char>(byte(rng));
        pair[1] = static_cast<unsigned char>(trail(rng));
      } while (non_ascii_step(pair, pair + 2, cs).size != 2);
      s.push_back(C(pair[0]));
      s.push_back(C(pair[1]));
    }
  }
  return s;
}

template <class C>
void check_round_trip(Charset cs, int rounds) {
  std::mt19937 rng(20240607u + unsigned(cs));
  for (int r = 0; r < rounds; ++r) {
    // Now and then a text longer than the encoder's working buffer of a few thousand.
    const std::basic_string<C> plain =
        random_text<C>(rng, cs, r % 20 == 0 ? 20000 : 200, r % 2 == 1);
    std::basic_string<C> enc, dec;
    encode_block(plain.data(), plain.data() + plain.size(), cs, enc);
    const DecodeResult res = decode_blocks(enc.data(), enc.data() + enc.size(), cs, dec);
    QCOMPARE(res.blocks, std::size_t(1));
    QCOMPARE(res.malformed, std::size_t(0));
    QVERIFY2(dec == plain, qPrintable(QStringLiteral("round %1").arg(r)));
    // The body never holds what could end a tag or an ASP block, nor a bare '@'.
    const std::basic_string<C> body = enc.substr(12, enc.size() - 24);
    std::size_t k = 0;
    while (k < body.size()) {
      const unsigned c = static_cast<std::make_unsigned_t<C>>(body[k]);
      if (c >= 0x80) {
        k += non_ascii_step(body.data() + k, body.data() + body.size(), cs).size;
        continue;
      }
      QVERIFY(c != '<' && c != '>');
      if (c == '@') {
        QVERIFY(k + 1 < body.size());
        QVERIFY(std::string_view("#&!*$").find(char(body[k + 1])) != std::string_view::npos);
        ++k;
      }
      ++k;
    }
  }
}

}  // namespace

class TestCodec : public QObject {
  Q_OBJECT

 private slots:
  void realBlocks_data() {
    QTest::addColumn<QString>("encodedFile");
    QTest::addColumn<QString>("plainFile");
    QTest::addColumn<QByteArray>("before");  // plain text around the block in the file
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("01 escapes, CR LF, DEL") << "01-cyberchef-jscript.jse" << "01-cyberchef-jscript.plain" << QByteArray() << QByteArray();
    QTest::newRow("02 MsgBox") << "02-didier-msgbox.vbe" << "02-didier-msgbox.plain" << QByteArray() << QByteArray();
    QTest::newRow("03 TAB, CR LF") << "03-wine-crlf-tab.jse" << "03-wine-crlf-tab.plain" << QByteArray() << QByteArray();
    QTest::newRow("04 inside a token") << "04-wine-embedded.js" << "04-wine-embedded.plain" << QByteArray("report") << QByteArray("();");
    QTest::newRow("15 12345") << "15-encoder-12345.jse" << "15-encoder-12345.plain" << QByteArray() << QByteArray();
  }
  void realBlocks() {
    QFETCH(QString, encodedFile);
    QFETCH(QString, plainFile);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const QByteArray encoded = support::readAll(support::dataDir() + "/" + encodedFile);
    const QByteArray plain = support::readAll(support::dataDir() + "/" + plainFile);
    QVERIFY(!encoded.isEmpty() && !plain.isEmpty());
    QVERIFY(plain.startsWith(before) && plain.endsWith(after));
    const QByteArray inner = plain.mid(before.size(), plain.size() - before.size() - after.size());
    QCOMPARE(bytes(str(before) + block(str(inner)) + str(after)), encoded);
    DecodeResult r;
    QCOMPARE(bytes(decoded(str(encoded), Charset::Utf8, &r)), plain);
    QCOMPARE(r.blocks, std::size_t(1));
  }

  void numberFields_data() {
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("0") << 0u << QByteArray("AAAAAA==");
    QTest::newRow("14") << 14u << QByteArray("DgAAAA==");
    QTest::newRow("0x16") << 0x16u << QByteArray("FgAAAA==");
    QTest::newRow("255") << 255u << QByteArray("/wAAAA==");
    QTest::newRow("1441") << 1441u << QByteArray("oQUAAA==");
    QTest::newRow("2^32-1") << 0xFFFFFFFFu << QByteArray("/////w==");
  }
  void numberFields() {
    QFETCH(quint32, value);
    QFETCH(QByteArray, text);
    QCOMPARE(bytes(field(value)), text);
  }

  // One plain character at position 0: what the body holds, and LEN and SUM.
  void characters_data() {
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<quint32>("len");
    QTest::addColumn<quint32>("sum");
    QTest::newRow("CR") << QByteArray("\r") << QByteArray("@#") << 2u << 13u;
    QTest::newRow("LF") << QByteArray("\n") << QByteArray("@&") << 2u << 10u;
    QTest::newRow("<") << QByteArray("<") << QByteArray("@!") << 2u << 60u;
    QTest::newRow(">") << QByteArray(">") << QByteArray("@*") << 2u << 62u;
    QTest::newRow("@") << QByteArray("@") << QByteArray("@$") << 2u << 64u;
    QTest::newRow("TAB, column 1") << QByteArray("\t") << QByteArray("7") << 1u << 9u;
    QTest::newRow("DEL, column 1") << QByteArray("\x7f") << QByteArray("g") << 1u << 127u;
    QTest::newRow("e in column 2 is DEL") << QByteArray("\x01" "e") << QByteArray("\x01\x7f") << 2u << 102u;
    QTest::newRow("other control copied") << QByteArray("\x01") << QByteArray("\x01") << 1u << 1u;
    QTest::newRow("non-ASCII keeps the position") << QByteArray("\xC3\xA9M") << QByteArray("\xC3\xA9\\") << 2u << 77u;
    QTest::newRow("empty") << QByteArray() << QByteArray() << 0u << 0u;
  }
  void characters() {
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, body);
    QFETCH(quint32, len);
    QFETCH(quint32, sum);
    const std::string b = block(str(plain));
    QCOMPARE(bytes(body_of(b)), body);
    QCOMPARE(len_field(b), field(len));
    QCOMPARE(b.substr(b.size() - 12, 8), field(sum));
    QVERIFY(b.starts_with("#@~^") && b.ends_with("^#~@"));
  }

  // LEN counts one per character of the code page (UTF-16 units for UTF-8), and a
  // double-byte character's trail byte is never read as ASCII.
  void lengthPerCharset_data() {
    QTest::addColumn<Charset>("cs");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<quint32>("len");
    QTest::newRow("UTF-8 2 bytes") << Charset::Utf8 << QByteArray("\xC3\xA9") << 1u;
    QTest::newRow("UTF-8 3 bytes") << Charset::Utf8 << QByteArray("\xE9\xBB\x91") << 1u;
    QTest::newRow("UTF-8 4 bytes = surrogate pair") << Charset::Utf8 << QByteArray("\xF0\x9F\x98\x80") << 2u;
    QTest::newRow("1252") << Charset::SingleByte << QByteArray("\xE9\x80") << 2u;
    QTest::newRow("932 pair") << Charset::Cp932 << QByteArray("\x82\xA0") << 1u;
    QTest::newRow("932 trail '@'") << Charset::Cp932 << QByteArray("\x82\x40") << 1u;
    QTest::newRow("932 katakana single byte") << Charset::Cp932 << QByteArray("\xB1") << 1u;
    QTest::newRow("936 pair, trail '\\\\'") << Charset::Cp936 << QByteArray("\xB5\x5C") << 1u;
    QTest::newRow("949 pair") << Charset::Cp949 << QByteArray("\xB0\xA1") << 1u;
    QTest::newRow("949 lead before a space") << Charset::Cp949 << QByteArray("\x81 ") << 2u;
    QTest::newRow("950 trail '@'") << Charset::Cp950 << QByteArray("\xA4\x40") << 1u;
    QTest::newRow("lead at the end") << Charset::Cp936 << QByteArray("a\xB5") << 2u;
  }
  void lengthPerCharset() {
    QFETCH(Charset, cs);
    QFETCH(QByteArray, plain);
    QFETCH(quint32, len);
    const std::string b = block(str(plain), cs);
    QCOMPARE(len_field(b), field(len));
    // Bytes at or above 0x80, and their trail bytes, are copied as they are.
    const std::string body = body_of(b);
    for (qsizetype k = 0; k < plain.size(); ++k)
      if (static_cast<unsigned char>(plain[k]) >= 0x80)
        QVERIFY(body.find(plain.mid(k, 2).toStdString()) != std::string::npos ||
                body.find(plain[k]) != std::string::npos);
    QCOMPARE(bytes(decoded(b, cs)), plain);
  }

  void utf16Length() {
    const std::u16string plain = u"\u9ED1a\U0001F600";
    std::u16string b;
    encode_block(plain.data(), plain.data() + plain.size(), Charset::Utf16, b);
    const std::string len = field(4);
    QCOMPARE(b.substr(4, 8), std::u16string(len.begin(), len.end()));
  }

  // A block whose fields do not match its body is left as it is.
  void decoderChecks_data() {
    QTest::addColumn<QByteArray>("text");
    const std::string good = block("MsgBox \"Hi\"\r\n");
    auto with = [&](std::size_t at, char c) { std::string s = good; s[at] = c; return bytes(s); };
    QTest::newRow("LEN off by one") << with(4, 'E');
    QTest::newRow("SUM changed") << with(good.size() - 12, 'B');
    QTest::newRow("body changed") << with(14, 'x');
    QTest::newRow("unknown escape") << bytes(good.substr(0, 12) + "@z" + good.substr(14));
    QTest::newRow("no trailer") << bytes(good.substr(0, good.size() - 1));
    QTest::newRow("truncated") << bytes(good.substr(0, 15));
    QTest::newRow("LEN not canonical") << with(9, 'B');
  }
  void decoderChecks() {
    QFETCH(QByteArray, text);
    DecodeResult r;
    QCOMPARE(bytes(decoded(str(text), Charset::Utf8, &r)), text);
    QCOMPARE(r.blocks, std::size_t(0));
    QCOMPARE(r.malformed, std::size_t(1));
  }

  void roundTrip_data() {
    QTest::addColumn<Charset>("cs");
    QTest::newRow("UTF-8") << Charset::Utf8;
    QTest::newRow("1252") << Charset::SingleByte;
    QTest::newRow("932") << Charset::Cp932;
    QTest::newRow("936") << Charset::Cp936;
    QTest::newRow("949") << Charset::Cp949;
    QTest::newRow("950") << Charset::Cp950;
    QTest::newRow("UTF-16") << Charset::Utf16;
  }
  void roundTrip() {
    QFETCH(Charset, cs);
    if (cs == Charset::Utf16) check_round_trip<char16_t>(cs, 400);
    else check_round_trip<char>(cs, 400);
  }

  void utf8Validity_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ASCII") << QByteArray("plain <% x %>\r\n") << true;
    QTest::newRow("2, 3, 4 bytes") << QByteArray("\xC3\xA9\xE9\xBB\x91\xF0\x9F\x98\x80") << true;
    QTest::newRow("1252 e acute") << QByteArray("caf\xE9") << false;
    QTest::newRow("overlong") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("cut short") << QByteArray("abcdefgh\xE9\xBB") << false;
    QTest::newRow("lone continuation") << QByteArray("\x80") << false;
  }
  void utf8Validity() {
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(is_valid_utf8(str(text)), valid);
  }

  void codePages_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("charset");  // -1: refused
    QTest::newRow("1252") << "1252" << int(Charset::SingleByte);
    QTest::newRow("1251") << "1251" << int(Charset::SingleByte);
    QTest::newRow("65001") << "65001" << int(Charset::Utf8);
    QTest::newRow("932") << "932" << int(Charset::Cp932);
    QTest::newRow("936") << "936" << int(Charset::Cp936);
    QTest::newRow("949") << "949" << int(Charset::Cp949);
    QTest::newRow("950") << "950" << int(Charset::Cp950);
    QTest::newRow("unknown") << "1234" << -1;
    QTest::newRow("not a number") << "utf8" << -1;
    QTest::newRow("empty") << "" << -1;
  }
  void codePages() {
    QFETCH(QString, name);
    QFETCH(int, charset);
    const auto cs = charset_from_code_page(name.toStdString());
    QCOMPARE(cs ? int(*cs) : -1, charset);
  }
};

QTEST_APPLESS_MAIN(TestCodec)
#include "test_codec.moc"
