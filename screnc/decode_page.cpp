#include "decode_page.h"

#include <cstdio>
#include <cstring>
#include <functional>

#include "atomic_file.h"
#include "block.h"
#include "encode_file.h"
#include "file_system.h"
#include "messages.h"
#include "page_reader.h"

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

// The first c in text[from, to), or `to`.
template <class C>
std::size_t find_in(std::basic_string_view<C> text, std::size_t from, std::size_t to, C c) {
  if constexpr (sizeof(C) == 1) {
    const void* hit = from < to ? std::memchr(text.data() + from, c, to - from) : nullptr;
    return hit ? static_cast<std::size_t>(static_cast<const C*>(hit) - text.data()) : to;
  } else {
    while (from < to && text[from] != c) ++from;
    return from;
  }
}

// Where the tag or directive starting with the `<` at `at` ends (its `>`), when it is one
// whose language the encoder marks; npos otherwise. A <% %> block inside a tag
// (`<script id="<%=i%>" ...>`) is stepped over whole: its `%>` ends nothing.
template <class C>
std::size_t marked_region_end(std::basic_string_view<C> text, std::size_t at) {
  if (spells(text, at + 1, "script") && !is_name_char(text, at + 7)) {
    // Most tags hold no '<' before their '>'.
    const std::size_t gt = find_in(text, at + 7, text.size(), C('>'));
    if (gt < text.size() && find_in(text, at + 7, gt, C('<')) == gt) return gt;
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

// The tag or directive [at, end] with ".Encode" taken off its language names, appended
// to out.
// False (out untouched) when the tag holds no such name: it is decoded where it stands.
template <class C>
bool unmark_region(std::basic_string_view<C> text, std::size_t at, std::size_t end,
                   std::basic_string<C>& out) {
  std::size_t k = at;
  for (std::size_t dot = at; (dot = find_in(text, dot, end + 1, C('.'))) <= end; ++dot) {
    if (!is_encode_suffix(text, dot)) continue;
    out.append(text.data() + k, dot - k);
    k = dot + 7;  // the name's own end (a '>' at the latest) is copied as it is
    dot = k;
  }
  if (k == at) return false;
  out.append(text.data() + k, end + 1 - k);
  return true;
}

// Where the next `<script` tag or `<%@` directive may start, at or after from; npos if
// none can.
template <class C>
std::size_t next_tag(std::basic_string_view<C> text, std::size_t from) {
  const C* end = text.data() + text.size();
  const C* hit = find_script_or_directive(text.data() + from, end);
  return hit == end ? std::basic_string_view<C>::npos : static_cast<std::size_t>(hit - text.data());
}

// Whether the tag at `at` may carry a language name (as marked_region_end asks), when the
// text after it is long enough to tell.
template <class C>
bool may_be_region(std::basic_string_view<C> text, std::size_t at) {
  return (spells(text, at + 1, "script") && !is_name_char(text, at + 7)) ||
         spells(text, at + 1, "%@");
}

// The page's text with ".Encode" taken off the language names of `<script>` tags and
// `<%@ %>` directives, and every block decoded, appended to out (handed to drain as it
// grows). A block holds no `<` or `>`, so every tag found is one of the page's own, and no
// block reaches across the start or the end of one: the stretches between the tags and
// the tags themselves are decoded one after another.
//
// Without `final`, text is the page read so far: what is done stops before a tag or a
// block that may reach past it, and the units done are returned (the caller gives the
// rest again with more text after it). `wide` is set when a block holds a character from
// U+0080 up, whose size depends on cs.
template <class C>
std::size_t decode_text(std::basic_string_view<C> text, bool final, Charset cs,
                        std::basic_string<C>& out, const BlockDrain<C>* drain, DecodedPage& page,
                        bool& wide) {
  constexpr std::size_t npos = std::basic_string_view<C>::npos;
  std::basic_string<C> tag;
  auto decode = [&](const C* b, const C* e, bool last) {
    const DecodeResult r = decode_blocks(b, e, cs, out, drain, last);
    page.blocks += r.blocks;
    page.damaged += r.malformed;
    wide = wide || r.wide;
    return r.done;
  };
  std::size_t done = 0;  // text before it is decoded
  for (std::size_t k = 0; (k = next_tag(text, k)) != npos;) {
    const bool told = final || text.size() - k >= 8;  // enough text to tell what it is
    const bool maybe = told && may_be_region(text, k);
    const std::size_t end = maybe ? marked_region_end(text, k) : npos;
    if (end == npos) {
      if (!told || (!final && maybe)) {
        decode(text.data() + done, text.data() + k, true);  // no block reaches across a '<'
        return k;
      }
      ++k;
      continue;
    }
    decode(text.data() + done, text.data() + k, true);
    tag.clear();
    if (unmark_region(text, k, end, tag)) decode(tag.data(), tag.data() + tag.size(), true);
    else decode(text.data() + k, text.data() + end + 1, true);
    done = k = end + 1;
  }
  if (final) {
    decode(text.data() + done, text.data() + text.size(), true);
    return text.size();
  }
  std::size_t stop = text.size();  // a '<' in the last unit may open a tag
  if (stop > done && text[stop - 1] == C('<')) --stop;
  return done + decode(text.data() + done, text.data() + stop, false);
}

// What a page's decoded bytes go to: a whole string, or a sink piece by piece.
using PageSink = std::function<void(std::string_view bytes)>;

// Decodes the bytes of a whole file to sink; counts and errors go to page.
void decode_page(std::string_view bytes, std::optional<Charset> code_page, DecodedPage& page,
                 const PageSink& sink) {
  const Bom bom = detect_bom(bytes);
  const std::string_view text = bytes.substr(bom_size(bom));
  if (bom == Bom::Utf16LE || bom == Bom::Utf16BE) {
    if (text.size() % 2 != 0) {
      page.error = "UTF-16 text of odd length";
      return;
    }
    sink(bom_bytes(bom));
    const bool big = bom == Bom::Utf16BE;
    const std::u16string units = utf16_from_bytes(text, big);
    std::u16string out;
    std::string piece;
    const BlockDrain<char16_t> drain = [&](std::u16string& part) {
      piece.clear();
      append_utf16_bytes(piece, part, big);
      sink(piece);
      part.clear();
    };
    bool wide = false;
    decode_text(std::u16string_view(units), true, Charset::Utf16, out, &drain, page, wide);
    drain(out);
  } else {
    sink(bom_bytes(bom));
    const Charset cs = bom == Bom::Utf8 ? Charset::Utf8 : charset_for(text, code_page);
    std::string out;
    const BlockDrain<char> drain = [&](std::string& part) {
      sink(part);
      part.clear();
    };
    bool wide = false;
    decode_text(text, true, cs, out, &drain, page, wide);
    drain(out);
  }
}

}  // namespace

std::string DecodedPage::DamageText() const {
  return std::to_string(damaged) + (damaged == 1 ? " encoded block is" : " encoded blocks are") +
         " damaged (length, checksum or an escape does not match)";
}

std::size_t DecodePiece(std::string_view text, bool final, Charset cs, std::string& out,
                        DecodedPage& page, bool& wide) {
  return decode_text<char>(text, final, cs, out, nullptr, page, wide);
}

DecodedPage DecodePage(std::string_view bytes, std::optional<Charset> code_page) {
  DecodedPage page;
  page.bytes.reserve(bytes.size());
  decode_page(bytes, code_page, page,
              [&page](std::string_view piece) { page.bytes.append(piece); });
  if (!page.ok()) page.bytes.clear();
  return page;
}

namespace {

int decode_failure(std::string* capture, const std::string& text) {
  const std::string line = "screnc: --decode: " + text + "\n";
  if (capture) capture->append(line);
  else std::fputs(line.c_str(), stderr);
  return 255;
}

// The end of a page's decoding: a damaged page is refused (its file dropped before it gets
// the destination's name), else the file takes the destination's place.
int finish(const std::string& source, const DecodedPage& page, PieceOutput& out,
           const Console& console, std::string* capture) {
  if (!page.ok()) return decode_failure(capture, "'" + source + "': " + page.error);
  if (page.damaged > 0) return decode_failure(capture, "'" + source + "': " + page.DamageText());
  if (!out.opened) out.err = out.file.open(out.path, std::nullopt);
  if (!out.err) out.err = out.file.commit();
  if (out.err) {
    console.system_failure(true, out.path, out.err->reason);
    return 255;
  }
  return 0;
}

int decode_whole(std::string_view bytes, const std::string& source, const std::string& destination,
                 std::optional<Charset> code_page, const Console& console, std::string* capture) {
  DecodedPage page;
  PieceOutput out(destination, std::nullopt);
  decode_page(bytes, code_page, page, [&out](std::string_view piece) { out.put(piece); });
  return finish(source, page, out, console, capture);
}

// The page decoded as it is read, piece by piece (page_reader.h); nullopt when it is to be
// decoded whole after all: found not to be UTF-8 after a block whose LEN counts a
// character from U+0080 up as UTF-8.
std::optional<int> decode_in_pieces(PageReader& in, Bom bom, const std::string& source,
                                    const std::string& destination, std::optional<Charset> code_page,
                                    const Console& console, std::string* capture) {
  DecodedPage page;
  PieceOutput out(destination, std::nullopt);
  out.put(bom_bytes(bom));
  in.consume(bom_size(bom));
  Charset cs = bom == Bom::Utf8 ? Charset::Utf8 : code_page ? *code_page : Charset::Utf8;
  const bool guessed = bom != Bom::Utf8 && !code_page;
  TextCheck check(guessed ? Charset::Utf8 : Charset::SingleByte);
  check.feed(in.held(), in.at_end());
  std::string text;
  const BlockDrain<char> drain = [&out](std::string& part) {
    out.put(part);
    part.clear();
  };
  bool wide = false;
  for (;;) {
    if (!check.ok()) {
      if (wide) return std::nullopt;
      cs = Charset::SingleByte;
      check = TextCheck(cs);
    }
    in.consume(decode_text(in.held(), in.at_end(), cs, text, &drain, page, wide));
    drain(text);
    if (in.at_end()) break;
    std::string_view fresh;
    if (const auto err = in.fill(fresh)) {
      console.system_failure(false, source, err->reason);
      return 255;
    }
    check.feed(fresh, in.at_end());
  }
  in.close();
  return finish(source, page, out, console, capture);
}

int decode_file(const std::string& source, const std::string& destination,
                std::optional<Charset> code_page, const Console& console, std::string* capture) {
  {
    PageReader in;
    std::string_view fresh;
    auto err = in.open(source);
    if (!err) err = in.fill(fresh);
    if (err) {
      console.system_failure(false, source, err->reason);
      return 255;
    }
    const Bom bom = detect_bom(in.held());
    if (!in.at_end() && bom != Bom::Utf16LE && bom != Bom::Utf16BE &&
        !written_as_stream(destination)) {
      if (const auto status = decode_in_pieces(in, bom, source, destination, code_page, console, capture))
        return *status;
    } else {
      err = in.fill_all();
      if (err) {
        console.system_failure(false, source, err->reason);
        return 255;
      }
      in.close();
      return decode_whole(in.held(), source, destination, code_page, console, capture);
    }
  }
  PageReader in;
  auto err = in.open(source);
  if (!err) err = in.fill_all();
  if (err) {
    console.system_failure(false, source, err->reason);
    return 255;
  }
  in.close();
  return decode_whole(in.held(), source, destination, code_page, console, capture);
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

  return decode_file(source, destination, code_page, console, capture);
}

}  // namespace screnc
