#include "file_kind.h"

FileKind ClassifyFile(const QString& type, const QString& fileName, const RunSettings& s) {
  if (type == QLatin1String("File")) return FileKind::Copy;
  if (type == QLatin1String("JScript Script File") && s.EncodeJs) return FileKind::EncodePlain;
  if ((type == QLatin1String("VBScript Script file") ||
       type == QLatin1String("VBScript Script File")) &&
      s.EncodeVbs) {
    return FileKind::EncodePlain;
  }
  if (type == QLatin1String("HTML Document") && s.EncodeHtml) return FileKind::EncodeHtml;
  if ((type == QLatin1String("Active Server Page") || type == QLatin1String("ASP File")) &&
      s.EncodeAsp) {
    return FileKind::EncodeAspPage;
  }
  const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
  if (dot >= 0 && s.AspExtensions.contains(fileName.mid(dot), Qt::CaseSensitive)) {
    return FileKind::EncodeAspByExtension;
  }
  return FileKind::Copy;
}
