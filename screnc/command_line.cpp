#include "command_line.h"

namespace screnc {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "-x..." always; "/x..." only when letters follow the slash (or it is "/?").
bool spelt_as_switch(std::string_view a) {
  if (a.size() < 2) return a == "-";
  if (a[0] == '-') return true;
  if (a[0] != '/') return false;
  if (a == "/?") return true;
  for (char c : a.substr(1))
    if (!is_letter(c)) return false;
  return true;
}

bool equals_ci(std::string_view a, std::string_view lower_lit) {
  if (a.size() != lower_lit.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (lower(a[k]) != lower_lit[k]) return false;
  return true;
}

}  // namespace

ParseResult parse_command_line(const std::vector<std::string_view>& args) {
  ParseResult r;
  CommandLine& c = r.line;
  bool switches = true;
  auto fail = [&](ParseError e, std::string_view culprit) {
    r.error = e;
    r.culprit = std::string(culprit);
    return r;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (switches && a == "--") {
      switches = false;
      continue;
    }
    if (switches && a == "--help") {
      c.help = true;
      return r;
    }
    if (!switches || !spelt_as_switch(a)) {
      if (c.files.size() == 2) return fail(ParseError::TooMany, a);
      c.files.emplace_back(a);
      continue;
    }
    const char key = a.size() > 1 ? lower(a[1]) : '\0';
    // Switches that take the next argument as their value.
    if (key == 'e' || key == 'l' || key == 'c' || key == 'n') {
      if (i + 1 >= args.size()) return fail(ParseError::Incomplete, a);
      const std::string_view v = args[++i];
      if (key == 'e') {
        c.extension = (!v.empty() && v[0] == '.') ? std::string(v) : std::string(".").append(v);
      } else if (key == 'l') {
        c.language = std::string(v);
      } else if (key == 'c') {
        c.code_page = std::string(v);
      } else if (equals_ci(v, "crlf") || equals_ci(v, "lf")) {
        c.crlf_after_directive = equals_ci(v, "crlf");
      } else {
        return fail(ParseError::Unrecognized, v);
      }
      continue;
    }
    switch (key) {
      case '?': c.help = true; return r;
      case 's': c.silent = true; break;
      case 'f': c.force = true; break;
      case 'v': break;  // accepted, as by the classic tool, and ignored
      case 'x':
        if (a.size() != 3 || lower(a[2]) != 'l') return fail(ParseError::Unrecognized, a);
        c.no_directive = true;
        break;
      default: return fail(ParseError::Unrecognized, a);
    }
  }
  return r;
}

}  // namespace screnc
