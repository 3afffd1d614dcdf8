#include "file_kind.h"

namespace {
bool IsSeparator(QChar c) {
  return c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char(';');
}
}  // namespace

QStringList ListedExtensions(const QString& aspExtensions) {
  QStringList out;
  const qsizetype n = aspExtensions.size();
  for (qsizetype i = 0; i < n;) {
    while (i < n && IsSeparator(aspExtensions[i])) ++i;
    qsizetype end = i;
    while (end < n && !IsSeparator(aspExtensions[end])) ++end;
    QString entry = aspExtensions.mid(i, end - i).toLower();
    i = end;
    if (entry.startsWith(QLatin1Char('*'))) entry.remove(0, 1);
    if (entry.startsWith(QLatin1Char('.'))) entry.remove(0, 1);
    if (!entry.isEmpty() && !out.contains(entry)) out << entry;
  }
  return out;
}

QString LastExtension(const QString& fileName) {
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
}

FileKind ClassifyFile(const QString& type, const QString& fileName, const RunSettings& s) {
  if (type == QLatin1String("File")) return FileKind::Copy;
  if (type == QLatin1String("JScript Script File") && s.EncodeJs) return FileKind::EncodePlain;
  if ((type == QLatin1String("VBScript Script file") ||
       type == QLatin1String("VBScript Script File")) &&
      s.EncodeVbs) {
    return FileKind::EncodePlain;
  }
  if (type == QLatin1String("HTML Document") && s.EncodeHtml) return FileKind::EncodeHtml;
  const QString ext = LastExtension(fileName);
  if (s.EncodeAsp && ext == QLatin1String("asa")) return FileKind::EncodeAspByExtension;
  if ((type == QLatin1String("Active Server Page") || type == QLatin1String("ASP File")) &&
      s.EncodeAsp) {
    return FileKind::EncodeAspPage;
  }
  if (!ext.isEmpty() && ListedExtensions(s.AspExtensions).contains(ext)) {
    return FileKind::EncodeAspByExtension;
  }
  return FileKind::Copy;
}

QString ScriptOptionOff(const QString& fileName, const RunSettings& s) {
  const QString ext = LastExtension(fileName);
  if (ext == QLatin1String("asp") || ext == QLatin1String("asa")) {
    return s.EncodeAsp ? QString() : QStringLiteral("chkASP");
  }
  if (ext == QLatin1String("htm") || ext == QLatin1String("html")) {
    return s.EncodeHtml ? QString() : QStringLiteral("chkHTML");
  }
  if (ext == QLatin1String("js")) return s.EncodeJs ? QString() : QStringLiteral("chkJS");
  if (ext == QLatin1String("vbs")) return s.EncodeVbs ? QString() : QStringLiteral("Check2");
  if (ext == QLatin1String("inc")) return QStringLiteral("txtDefxt");
  return QString();
}
