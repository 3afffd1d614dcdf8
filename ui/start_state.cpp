#include "start_state.h"


StartArgs ParseStartArgs(const QStringList& args) {
  StartArgs parsed;
  QStringList folders;
  bool options = true;
  for (const QString& a : args) {
    if (options && a == QLatin1String("--")) {
      options = false;
    } else if (options && (a == QLatin1String("-h") || a == QLatin1String("--help"))) {
      parsed.help = true;
    } else if (options && a.startsWith(u'-') && a.size() > 1) {
      parsed.error = QStringLiteral("unknown option %1").arg(a);
    } else {
      folders << a;
    }
  }
  if (folders.size() > 2) parsed.error = QStringLiteral("at most two folders: SOURCE and DESTINATION");
  if (folders.size() > 0) parsed.source = folders[0];
  if (folders.size() > 1) parsed.destination = folders[1];
  return parsed;
}

QString StartUsage() {
  return QStringLiteral(
      "Usage: quillward [SOURCE [DESTINATION]]\n"
      "Opens the window with SOURCE as the folder to encode and DESTINATION as the folder\n"
      "the encoded copy goes to (created when Start is pressed, if it does not exist).\n");
}
