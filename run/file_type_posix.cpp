// Type names where there is no file-type registry: the names Windows gives.
#include "file_kind.h"

QString TypeDescription(const QString& fileName) {
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  const QString ext = dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
  if (ext.isEmpty()) return QStringLiteral("File");
  if (ext == QLatin1String("asp")) return QStringLiteral("Active Server Page");
  if (ext == QLatin1String("htm") || ext == QLatin1String("html")) {
    return QStringLiteral("HTML Document");
  }
  if (ext == QLatin1String("js")) return QStringLiteral("JScript Script File");
  if (ext == QLatin1String("vbs")) return QStringLiteral("VBScript Script File");
  return ext.toUpper() + QStringLiteral(" File");
}
