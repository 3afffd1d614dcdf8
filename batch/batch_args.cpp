#include "batch_args.h"

#include "paths.h"

#include <QStringList>

namespace {

const QStringList& KnownKeys() {
  static const QStringList keys = {
      QStringLiteral("chkASP"),   QStringLiteral("chkHTML"),       QStringLiteral("chkJS"),
      QStringLiteral("Check2"),   QStringLiteral("chkLangDirect"), QStringLiteral("Combo1"),
      QStringLiteral("Combo2"),   QStringLiteral("txtDefxt")};
  return keys;
}

// "KEY=VALUE" into the overrides; an error text when it is not one of the known keys.
QString AddOverride(const QString& assignment, QMap<QString, QString>& overrides) {
  const qsizetype eq = assignment.indexOf(QLatin1Char('='));
  if (eq <= 0) return QStringLiteral("--set needs KEY=VALUE, got \"%1\"").arg(assignment);
  const QString key = assignment.left(eq);
  for (const QString& known : KnownKeys()) {
    if (known.compare(key, Qt::CaseInsensitive) == 0) {
      overrides.insert(known, assignment.mid(eq + 1));
      return QString();
    }
  }
  return QStringLiteral("unknown settings key \"%1\" (known: %2)")
      .arg(key, KnownKeys().join(QStringLiteral(", ")));
}

}  // namespace

BatchArgs ParseBatchArgs(const std::vector<std::filesystem::path>& args) {
  BatchArgs out;
  std::vector<std::filesystem::path> positional;
  bool switches = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const QString arg = ToDisplayPath(args[i]);
    if (switches && arg == QLatin1String("--")) {
      switches = false;
    } else if (switches && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
      out.help = true;
    } else if (switches && arg == QLatin1String("--set")) {
      if (i + 1 == args.size()) {
        out.error = QStringLiteral("--set needs KEY=VALUE");
        return out;
      }
      out.error = AddOverride(ToDisplayPath(args[++i]), out.overrides);
    } else if (switches && arg.startsWith(QLatin1String("--set="))) {
      out.error = AddOverride(arg.mid(6), out.overrides);
    } else if (switches && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
      out.error = QStringLiteral("unknown option \"%1\" (a path that begins with \"-\" goes after \"--\")").arg(arg);
    } else {
      positional.push_back(args[i]);
    }
    if (!out.error.isEmpty()) return out;
  }
  if (out.help) return out;
  if (positional.size() != 2) {
    out.error = QStringLiteral("expected SOURCE and DESTINATION, got %1 path(s)").arg(positional.size());
    return out;
  }
  out.source = positional[0];
  out.destination = positional[1];
  return out;
}

QString BatchUsage() {
  return QStringLiteral(
      "Usage: quillward-batch [--set KEY=VALUE]... [--] SOURCE DESTINATION\n"
      "\n"
      "Makes an encoded copy of the folder tree SOURCE under DESTINATION, exactly as the\n"
      "Start button of Quillward does: script files of the kinds chosen in Options are\n"
      "passed through the encoder (screnc, beside this program), every other file is\n"
      "copied unchanged. The stored Quillward settings are used; --set overrides one\n"
      "key for this run only and saves nothing. Keys: chkASP, chkHTML, chkJS, Check2\n"
      "(0 or 1), chkLangDirect (1: no @language directive), Combo1, Combo2 (VBScript or\n"
      "JScript), txtDefxt (extensions treated as ASP, e.g. \"*.inc *.lib\").\n"
      "\n"
      "Each log entry is printed as a line; messages go to stderr. Ctrl-C stops after\n"
      "the current file.\n"
      "\n"
      "Exit status: 0 every file copied or encoded, 1 some file failed, 2 the run was\n"
      "refused (identical or nested folders, a missing source, bad arguments),\n"
      "130 stopped.\n");
}
