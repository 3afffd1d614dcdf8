#include "status.h"

#include "paths.h"

QString ErrorText(const std::error_code& error) {
  QString text = QString::fromLocal8Bit(error.message()).trimmed();
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  if (!text.isEmpty()) text[0] = text[0].toLower();
  return text;
}

Status Status::FromError(const std::error_code& error, const char* call,
                         const std::filesystem::path& path) {
  return Fail(ErrorText(error) + QStringLiteral(" (") + QString::fromLatin1(call) +
              QLatin1Char(' ') + ToDisplayPath(path) + QLatin1Char(')'));
}
