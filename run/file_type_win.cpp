// Type names from the Windows shell, as Explorer shows them.
#include "file_kind.h"

#include <windows.h>
#include <shellapi.h>

QString TypeDescription(const QString& fileName) {
  if (!fileName.contains(QLatin1Char('.'))) return QStringLiteral("File");
  SHFILEINFOW info{};
  const std::wstring name = fileName.toStdWString();
  // SHGFI_USEFILEATTRIBUTES: ask by name alone, without touching the file.
  if (SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES) == 0) {
    return QStringLiteral("File");
  }
  return QString::fromWCharArray(info.szTypeName);
}
