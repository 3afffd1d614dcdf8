#pragma once
// Where a page holds script that an encoder must encode, by the kind the run gives it:
//   plain script file: the whole text;
//   HTML document: the body of each <script> element in JScript or VBScript (named by
//     its LANGUAGE or TYPE, else the default language), not one with SRC, not one
//     whose body is blank; comments are skipped;
//   ASP page or include: the body of each <% %> block (after its "=", not a "<%@"
//     directive), wherever it stands, in a tag too, and the body of each
//     <script runat=server> element as above, in the page's language when it names
//     none; client script is left as it is. Nothing when the page's directive names a
//     language that is neither.
// In each, text up to and including a "**Start Encode**" marker after a comment sign
// ("//" or "'") stays plain. The text is read as bytes: markup is ASCII in every code
// page a page may be written in (a caller turns UTF-16 into bytes first).
//
// Languages are given by family: 'J' (JScript, JavaScript) or 'V' (VBScript); 0 when
// unknown.

#include "run/walk/file_kind.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct ScriptScan {
  struct Span {
    std::size_t begin = 0, end = 0;
  };
  std::vector<Span> regions;  // what must be encoded, in order
  // The script tags and the directive an encoder names the language of, each with the
  // family it must name: [begin, end) from the '<' to past the tag's end.
  struct Named {
    std::size_t begin = 0, end = 0;
    char family = 0;
    std::size_t close = 0;  // a script element's: where its body ends (its "</script")
  };
  std::vector<Named> named;
  // ASP pages: the server script as IIS takes it, encoded or not, in order: each <% %>
  // block from "<%" to past "%>" (to the end when it has none), a block in a tag too, and
  // each <script runat=server> element from its '<' to its "</script" (to past its tag
  // when it has none). A block inside such an element lies within its span.
  std::vector<Span> server;
  char pageFamily = 0;  // an ASP page's language: its directive's, else the default
  // An ASP page's: its first <% %> block is a directive ("<%@" ... "%>"). An encoder
  // then renames or adds its language in place; a page without one gets a line at the top.
  bool directive = false;
};

// `defaultFamily`: the language of script that names none (the run's /l, else VBScript for
// ASP and JScript for HTML). `progress`, when given, is called as the scan goes (once per
// tag or block met), so that a long scan can be stopped (by an exception).
ScriptScan ScanScript(std::string_view text, FileKind kind, char defaultFamily,
                      const std::function<void()>& progress = {});

// The family of a language name ("VBScript", "javascript", "JScript.Encode"); 0 for any other.
char LanguageFamily(std::string_view name);

// The family the run's settings give script that names none, for a file of this kind
// named `fileName`.
char DefaultFamily(FileKind kind, const std::string& fileName, const RunSettings& settings);

// Whether the file's bytes hold server script an ASP encoder encodes (UTF-16 read as such).
bool HoldsServerScript(std::string_view bytes);
