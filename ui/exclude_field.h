#pragma once
// The site-wide ignore patterns ("txtExclude") as the Options dialog shows them: one
// pattern a line, as in an ignore file. The run splits the stored text at blanks, tabs,
// line breaks and `;`, and a `\` keeps the next character in the pattern; so a line that
// holds a blank or a `;` is stored with those escaped, and the run reads back exactly the
// lines typed.

#include <QString>

// The stored text as lines for the field: each pattern the run reads on a line of its own.
// An escaped blank, tab or `;` inside a pattern is shown plain; at a pattern's start or
// end it stays escaped, where a plain one would be taken for padding.
QString ExcludeLines(const QString& stored);

// The field's lines as the text to store, the patterns separated by a blank. Blanks at
// a line's start and end are dropped (an escaped one, `\ `, stays), empty lines are
// skipped, and a `\` at the end of a line, which escapes nothing, is dropped.
QString StoredExcludes(const QString& lines);
