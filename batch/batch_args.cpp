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

bool IsCheckBox(const QString& key) {
  return key.startsWith(QLatin1String("chk")) || key == QLatin1String("Check2");
}

// A check box's value as stored ("1" or "0"); empty when `value` is not one.
QString CheckBoxValue(const QString& value) {
  const QString v = value.trimmed().toLower();
  for (const char* yes : {"1", "true", "yes", "on"}) {
    if (v == QLatin1String(yes)) return QStringLiteral("1");
  }
  for (const char* no : {"0", "false", "no", "off"}) {
    if (v == QLatin1String(no)) return QStringLiteral("0");
  }
  return QString();
}

// "KEY=VALUE" into the overrides; an error text when it is not one of the known keys,
// or a check box's value is not one a check box can have.
QString AddOverride(const QString& assignment, QMap<QString, QString>& overrides) {
  const qsizetype eq = assignment.indexOf(QLatin1Char('='));
  if (eq <= 0) return QStringLiteral("--set needs KEY=VALUE, got \"%1\"").arg(assignment);
  const QString key = assignment.left(eq);
  QString value = assignment.mid(eq + 1);
  for (const QString& known : KnownKeys()) {
    if (known.compare(key, Qt::CaseInsensitive) != 0) continue;
    if (IsCheckBox(known)) {
      const QString stored = CheckBoxValue(value);
      if (stored.isEmpty()) {
        return QStringLiteral("--set %1: \"%2\" is not a check box value (1/0, true/false, yes/no, on/off)")
            .arg(known, value);
      }
      value = stored;
    }
    overrides.insert(known, value);
    return QString();
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
    } else if (switches && (arg == QLatin1String("--timeout") || arg.startsWith(QLatin1String("--timeout=")))) {
      QString value;
      if (arg.contains(QLatin1Char('='))) {
        value = arg.section(QLatin1Char('='), 1);
      } else if (i + 1 < args.size()) {
        value = ToDisplayPath(args[++i]);
      }
      bool ok = false;
      const int seconds = value.toInt(&ok);
      if (!ok || seconds < 0) {
        out.error = QStringLiteral("--timeout needs a number of seconds (0: no limit), got \"%1\"").arg(value);
      } else {
        out.overrides.insert(QStringLiteral("EncoderTimeout"), QString::number(seconds));
      }
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
      "Usage: quillward-batch [--set KEY=VALUE]... [--timeout SECONDS] [--] SOURCE DESTINATION\n"
      "\n"
      "Makes an encoded copy of the folder tree SOURCE under DESTINATION, exactly as the\n"
      "Start button of Quillward does: script files of the kinds chosen in Options are\n"
      "passed through the encoder (screnc, beside this program), every other file is\n"
      "copied unchanged. The stored Quillward settings are used; --set overrides one\n"
      "key for this run only and saves nothing. Keys: chkASP, chkHTML, chkJS, Check2\n"
      "(1/0, true/false, yes/no, on/off), chkLangDirect (1: no @language directive),\n"
      "Combo1, Combo2 (VBScript or JScript), txtDefxt (extensions treated as ASP, e.g.\n"
      "\"*.inc *.lib\"). --timeout ends an encoder that works longer than SECONDS on\n"
      "one file and fails that file (default 300; 0: no limit).\n"
      "\n"
      "Each log entry is printed as a line, as soon as it is done; messages go to\n"
      "stderr. Ctrl-C, SIGTERM or SIGHUP stop after the current file (an encoder still\n"
      "busy 2 s later is ended); a second Ctrl-C ends the program at once.\n"
      "\n"
      "Exit status: 0 every file copied or encoded, 1 some file failed, 2 the run was\n"
      "refused (identical or nested folders, a missing source, bad arguments),\n"
      "130 stopped.\n");
}
