// Small helpers shared by the encoder's tests.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <string>
#include <string_view>

#include "block.h"
#include "text_codec.h"

namespace support {

inline std::string str(const QByteArray& b) { return std::string(b.constData(), b.size()); }
inline QByteArray bytes(std::string_view s) { return QByteArray(s.data(), qsizetype(s.size())); }

inline QByteArray readAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

inline bool writeAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// The small vectors copied into the project, and the shared folder with all of them.
inline QString dataDir() { return QStringLiteral(SCRENC_TEST_DATA); }
inline QString vectorsDir() { return QStringLiteral(SCRENC_VECTORS); }
inline bool haveVectors() { return QDir(vectorsDir()).exists(); }

// One encoded block of ASCII/UTF-8 plain text, the way the files' expectations spell it.
inline std::string block(std::string_view plain, screnc::Charset cs = screnc::Charset::Utf8) {
  std::string out;
  screnc::encode_block(plain.data(), plain.data() + plain.size(), cs, out);
  return out;
}

inline std::string decoded(std::string_view text, screnc::Charset cs = screnc::Charset::Utf8,
                           screnc::DecodeResult* r = nullptr) {
  std::string out;
  const screnc::DecodeResult res = screnc::decode_blocks(text.data(), text.data() + text.size(), cs, out);
  if (r) *r = res;
  return out;
}

}  // namespace support
