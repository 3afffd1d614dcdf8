#include "decode_page.h"

#include <cstdio>

#include "atomic_file.h"
#include "block.h"
#include "encode_file.h"
#include "file_system.h"
#include "messages.h"

namespace screnc {
namespace {

template <class C>
char lower_ascii(C c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a')
         : c >= 0 && c < 0x80 ? static_cast<char>(c)
                              : '\0';
}

// Whether text[at...] spells `word` (lower case), in any case.
template <class C>
bool spells(std::basic_string_view<C> text, std::size_t at, std::string_view word) {
  if (at > text.size() || text.size() - at < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (lower_ascii(text[at + k]) != word[k]) return false;
  return true;
}

template <class C>
bool is_name_char(std::basic_string_view<C> text, std::size_t at) {
  if (at >= text.size()) return false;
  const char c = lower_ascii(text[at]);
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Where the tag or directive starting with the `<` at `at` ends (its `>`), when it is one
// whose language the encoder marks; npos otherwise. A <% %> block inside a tag
// (`<script id="<%=i%>" ...>`) is stepped over whole: its `%>` ends nothing.
template <class C>
std::size_t marked_region_end(std::basic_string_view<C> text, std::size_t at) {
  if (spells(text, at + 1, "script") && !is_name_char(text, at + 7)) {
    for (std::size_t k = at + 7; k < text.size(); ++k) {
      if (text[k] == C('<') && k + 1 < text.size() && text[k + 1] == C('%')) {
        for (k += 2; k + 1 < text.size() && !(text[k] == C('%') && text[k + 1] == C('>'));) ++k;
        ++k;  // on the block's `>`; the loop steps past it
      } else if (text[k] == C('>')) {
        return k;
      }
    }
  } else if (spells(text, at + 1, "%@")) {
    for (std::size_t k = at + 3; k + 1 < text.size(); ++k)
      if (text[k] == C('%') && text[k + 1] == C('>')) return k + 1;
  }
  return std::basic_string_view<C>::npos;
}

// Whether the ".Encode" at `dot` ends a JScript or VBScript language name.
template <class C>
bool is_encode_suffix(std::basic_string_view<C> text, std::size_t dot) {
  if (text[dot] != C('.') || !spells(text, dot + 1, "encode") || is_name_char(text, dot + 7))
    return false;
  for (const std::string_view name : {std::string_view("jscript"), std::string_view("vbscript")}) {
    const std::size_t start = dot - name.size();
    if (dot >= name.size() && spells(text, start, name) && (start == 0 || !is_name_char(text, start - 1)))
      return true;
  }
  return false;
}

// The text with ".Encode" taken off the language names of `<script>` tags and `<%@ %>`
// directives. Run before the blocks are decoded: a block holds no `<` or `>`, so every
// tag found is one of the page's own.
template <class C>
std::basic_string<C> unmark_languages(std::basic_string_view<C> text) {
  std::basic_string<C> out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size();) {
    const std::size_t end = text[k] == C('<') ? marked_region_end(text, k)
                                              : std::basic_string_view<C>::npos;
    if (end == std::basic_string_view<C>::npos) {
      out.push_back(text[k++]);
      continue;
    }
    for (; k <= end; ++k) {
      if (is_encode_suffix(text, k)) k += 7;
      out.push_back(text[k]);
    }
  }
  return out;
}

template <class C>
void decode_text(std::basic_string_view<C> text, Charset cs, std::basic_string<C>& out,
                 DecodedPage& page) {
  const std::basic_string<C> unmarked = unmark_languages(text);
  const DecodeResult r =
      decode_blocks(unmarked.data(), unmarked.data() + unmarked.size(), cs, out);
  page.blocks = r.blocks;
  page.damaged = r.malformed;
}

}  // namespace

std::string DecodedPage::DamageText() const {
  return std::to_string(damaged) + (damaged == 1 ? " encoded block is" : " encoded blocks are") +
         " damaged (length, checksum or an escape does not match)";
}

DecodedPage DecodePage(std::string_view bytes, std::optional<Charset> code_page) {
  DecodedPage page;
  const Bom bom = detect_bom(bytes);
  const std::string_view text = bytes.substr(bom_size(bom));
  if (bom == Bom::Utf16LE || bom == Bom::Utf16BE) {
    if (text.size() % 2 != 0) {
      page.error = "UTF-16 text of odd length";
      return page;
    }
    const bool big = bom == Bom::Utf16BE;
    const std::u16string units = utf16_from_bytes(text, big);
    std::u16string out;
    decode_text(std::u16string_view(units), Charset::Utf16, out, page);
    page.bytes = bom_bytes(bom);
    append_utf16_bytes(page.bytes, out, big);
  } else {
    const Charset cs = bom == Bom::Utf8 ? Charset::Utf8 : charset_for(text, code_page);
    std::string out;
    decode_text(text, cs, out, page);
    page.bytes = std::string(bom_bytes(bom)) + out;
  }
  return page;
}

namespace {

int decode_failure(std::string* capture, const std::string& text) {
  const std::string line = "screnc: --decode: " + text + "\n";
  if (capture) capture->append(line);
  else std::fputs(line.c_str(), stderr);
  return 255;
}

}  // namespace

int run_decode(const std::vector<std::string_view>& args, std::string* capture) {
  std::size_t first = 0;
  std::optional<Charset> code_page;
  if (args.size() == 4 && (args[0] == "/cp" || args[0] == "-cp")) {
    code_page = charset_from_code_page(args[1]);
    if (!code_page) return decode_failure(capture, "unknown code page '" + std::string(args[1]) + "'");
    first = 2;
  }
  if (args.size() - first != 2)
    return decode_failure(capture, "usage: screnc --decode [/cp CodePage] <source> <destination>");
  const std::string source = full_path(std::string(args[first]));
  const std::string destination = full_path(std::string(args[first + 1]));
  const Console console(false, capture);

  FileBytes input;
  if (const auto err = read_whole_file(source, input)) {
    console.system_failure(false, source, err->reason);
    return 255;
  }
  const DecodedPage page = DecodePage(input.view(), code_page);
  if (!page.ok()) return decode_failure(capture, "'" + source + "': " + page.error);
  if (page.damaged > 0) return decode_failure(capture, "'" + source + "': " + page.DamageText());
  if (const auto err = write_file_atomic(destination, page.bytes, std::nullopt)) {
    console.system_failure(true, destination, err->reason);
    return 255;
  }
  return 0;
}

}  // namespace screnc
