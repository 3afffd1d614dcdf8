#pragma once
// Server include directives in the text of an ASP page, and where they lead.
//
// IIS inserts another file into a page before any script runs when the page holds
//   <!-- #include file="headers\top.inc" -->     (from the including file's folder)
//   <!-- #include virtual="/inc/db.inc" -->       (from the site's root)
// What counts as one here is what IIS documents and takes:
//   - "<!--", any blanks (space, tab, line ends), "#include" with no blank inside, at
//     least one blank, "file" or "virtual", blanks, "=", blanks, the path in double
//     quotation marks, blanks, "-->". Keywords in any letter case.
//   - The path must be in double quotation marks: IIS refuses single quotation marks and
//     bare names, so `file='x.inc'` and `file=x.inc` include nothing. An empty path,
//     or a directive that is not closed by "-->" right after the path, is none either.
//   - Inside server script ("<% ... %>", up to the first "%>", and
//     "<script runat=server> ... </script>") the text is script, not a directive: IIS
//     gives a syntax error there and includes nothing.
//   - An HTML comment does not hide a directive: IIS includes the file whatever markup is
//     around it ("<!-- <!--#include file="x.inc"--> -->" includes x.inc).
// The text is read as bytes (the directive is ASCII in every code page a page may be
// written in); a page that starts with a UTF-16 byte order mark is read as UTF-16.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct IncludeDirective {
  bool isVirtual = false;  // "virtual" (from the root) rather than "file"
  std::string path;        // as written between the quotation marks, UTF-8
  bool operator==(const IncludeDirective&) const = default;
};

// The directives of a page's text, in their order.
std::vector<IncludeDirective> FindIncludes(std::string_view text);

// A file's bytes as the text FindIncludes reads: UTF-16 (with its byte order mark) made
// UTF-8, anything else as it is.
std::string PageText(std::string bytes);
// The same in place: `bytes` is left as it is unless it is UTF-16.
void MakePageText(std::string& bytes);

// Where a directive of the file `includer` (a path below the source root,
// '/'-separated) leads, as a path below the source root ('/'-separated, "." and ".."
// resolved; either separator accepted in the directive). `file` paths start from the
// includer's folder; `virtual` paths that start with '/' or '\' from the root, others
// from the includer's folder. Nothing when the path leaves the source root (".." above
// it, a drive letter, a UNC path or, for `file`, a leading separator) or names no file
// (empty, or ending in a separator).
std::optional<std::string> ResolveInclude(std::string_view includer, const IncludeDirective& directive);
