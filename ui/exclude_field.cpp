#include "exclude_field.h"

#include "run/walk/ignore_rules.h"
#include "run_text.h"

#include <QStringList>

namespace {

bool IsSeparator(QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u';'; }
bool IsBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\r'; }

QString PatternAsLine(const QString& pattern) {
  QString line;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c != u'\\' || i + 1 == pattern.size()) {
      line += c;
      continue;
    }
    const QChar next = pattern[++i];
    const bool inside = i >= 2 && i + 1 < pattern.size();
    if (!(inside && IsSeparator(next))) line += u'\\';
    line += next;
  }
  return line;
}

QString LineAsPattern(const QString& line) {
  QString pattern;
  qsizetype kept = 0;  // the pattern's length up to its last character that is not a blank
  qsizetype i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  for (; i < line.size(); ++i) {
    const QChar c = line[i];
    if (c == u'\\') {
      if (i + 1 == line.size()) break;
      pattern += c;
      pattern += line[++i];
      kept = pattern.size();
    } else if (IsSeparator(c)) {
      pattern += u'\\';
      pattern += c;
      if (!IsBlank(c)) kept = pattern.size();
    } else {
      pattern += c;
      kept = pattern.size();
    }
  }
  pattern.truncate(kept);
  return pattern;
}

}  // namespace

QString ExcludeLines(const QString& stored) {
  QStringList lines;
  for (const std::string& pattern : SplitPatternList(RunText(stored))) lines.append(PatternAsLine(QtText(pattern)));
  return lines.join(u'\n');
}

QString StoredExcludes(const QString& lines) {
  QStringList patterns;
  for (const QString& line : lines.split(u'\n')) {
    const QString pattern = LineAsPattern(line);
    if (!pattern.isEmpty()) patterns.append(pattern);
  }
  return patterns.join(u' ');
}
