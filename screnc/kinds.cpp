#include "kinds.h"

#include <cstring>
#include <type_traits>

#include "block.h"

namespace screnc {
namespace {

template <class C>
unsigned code(C c) {
  return static_cast<std::make_unsigned_t<C>>(c);
}

template <class C>
unsigned lower(C c) {
  const unsigned u = code(c);
  return (u >= 'A' && u <= 'Z') ? u + 32 : u;
}

template <class C>
bool is_space(C c) {
  const unsigned u = code(c);
  return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\f' || u == '\v';
}

// Whether [p, end) starts with the lower-case ASCII literal lit, in any case.
template <class C>
bool starts_ci(const C* p, const C* end, std::string_view lit) {
  if (static_cast<std::size_t>(end - p) < lit.size()) return false;
  for (std::size_t k = 0; k < lit.size(); ++k)
    if (lower(p[k]) != static_cast<unsigned char>(lit[k])) return false;
  return true;
}

template <class C>
bool equals_ci(const C* b, const C* e, std::string_view lit) {
  return static_cast<std::size_t>(e - b) == lit.size() && starts_ci(b, e, lit);
}

const char* find_unit(const char* p, const char* end, char c) {
  const void* hit = std::memchr(p, c, static_cast<std::size_t>(end - p));
  return hit ? static_cast<const char*>(hit) : end;
}

const char16_t* find_unit(const char16_t* p, const char16_t* end, char16_t c) {
  while (p < end && *p != c) ++p;
  return p;
}

// The first position of the two-character sequence ab, or end.
template <class C>
const C* find_pair(const C* p, const C* end, char a, char b) {
  while (p < end) {
    p = find_unit(p, end, static_cast<C>(a));
    if (p + 1 >= end) return end;
    if (code(p[1]) == static_cast<unsigned char>(b)) return p;
    ++p;
  }
  return end;
}

// The first "<" + lit (case-insensitive) at or after p, or end.
template <class C>
const C* find_tag_ci(const C* p, const C* end, std::string_view lit) {
  while ((p = find_unit(p, end, static_cast<C>('<'))) < end) {
    if (starts_ci(p + 1, end, lit)) return p;
    ++p;
  }
  return end;
}

template <class C>
bool all_space(const C* b, const C* e) {
  for (; b < e; ++b)
    if (!is_space(*b)) return false;
  return true;
}

// The position right after a "**Start Encode**" marker that follows a comment sign
// ("//" or "'"), or nullptr when the text has none.
template <class C>
const C* after_marker(const C* b, const C* e) {
  static constexpr std::string_view kMarker = "**start encode**";
  for (const C* p = b; (p = find_pair(p, e, '*', '*')) < e; ++p) {
    if (!starts_ci(p, e, kMarker)) continue;
    const bool slashes = p - b >= 2 && code(p[-1]) == '/' && code(p[-2]) == '/';
    const bool quote = p - b >= 1 && code(p[-1]) == '\'';
    if (slashes || quote) return p + kMarker.size();
  }
  return nullptr;
}

std::string_view encoded_name(Lang lang) {
  return lang == Lang::VBScript ? "VBScript.Encode" : "JScript.Encode";
}

// Appends to out: copies of the input up to a point, literals, blocks.
template <class C>
struct Writer {
  std::basic_string<C>& out;
  Charset cs;
  const C* copied;
  const Drain<C>* drain = nullptr;
  int held = 0;  // while above 0, out may still be cut back and must stay whole

  void settle() {
    if (drain && held == 0 && out.size() >= kDrainAt) (*drain)(out);
  }
  void copy_to(const C* p) {
    while (static_cast<std::size_t>(p - copied) > kDrainAt && drain && held == 0) {
      out.append(copied, kDrainAt);
      copied += kDrainAt;
      settle();
    }
    out.append(copied, static_cast<std::size_t>(p - copied));
    copied = p;
    settle();
  }
  void literal(std::string_view s) {
    for (char c : s) out.push_back(static_cast<C>(c));
  }
  void replace(const C* b, const C* e, std::string_view s) {
    copy_to(b);
    literal(s);
    copied = e;
  }
  void insert(const C* at, std::string_view s) {
    copy_to(at);
    literal(s);
  }
  // Encodes the script text [b, e), keeping a "**Start Encode**" prefix plain.
  // Returns false (writing nothing) when nothing would be encoded.
  bool script(const C* b, const C* e) {
    const C* m = after_marker(b, e);
    const C* from = m ? m : b;
    if (from == e) return false;
    copy_to(from);
    encode_block(from, e, cs, out);
    copied = e;
    settle();
    return true;
  }
};

struct Span {
  std::size_t b = 0, e = 0;  // offsets from the tag start
  bool found = false;
};

// The attributes of a <script ...> tag (or the body of a <%@ %> directive) that matter.
template <class C>
struct Attributes {
  const C* end = nullptr;  // just past the closing '>' (tag), or at "%>" (directive)
  Span language, type, runat;
  bool src = false;
  bool server = false;  // the tag holds a <% %> block
};

// Parses attributes from p up to the '>' that closes a tag (quoted values may hold '>').
// For a directive, [p, end) is its body, up to its "%>". With server_blocks (ASP pages) a
// <% %> block anywhere in the tag is taken whole, wherever it stands: as an attribute, in
// a name, or in a quoted or unquoted value, so its '>' or quotes end nothing.
template <class C>
std::optional<Attributes<C>> parse_attributes(const C* start, const C* p, const C* end,
                                              bool directive, bool server_blocks = false) {
  Attributes<C> a;
  auto closes = [&](const C* q) { return !directive && code(*q) == '>'; };
  auto separates = [&](const C* q) { return is_space(*q) || (!directive && code(*q) == '/'); };
  auto offset = [&](const C* q) { return static_cast<std::size_t>(q - start); };
  // At a <% %> block: the position after its "%>" (end when it has none); else q itself.
  auto past_block = [&](const C* q) {
    if (!server_blocks || q + 1 >= end || code(q[0]) != '<' || code(q[1]) != '%') return q;
    a.server = true;
    const C* close = find_pair(q + 2, end, '%', '>');
    return close < end ? close + 2 : end;
  };
  // Steps over plain characters and whole blocks while stop(q) is false.
  auto scan = [&](const C* q, auto stop) {
    while (q < end) {
      const C* next = past_block(q);
      if (next != q) {
        q = next;
      } else if (stop(q)) {
        break;
      } else {
        ++q;
      }
    }
    return q;
  };
  for (;;) {
    while (p < end && separates(p)) ++p;
    if (p >= end) {
      if (!directive) return std::nullopt;
      a.end = end;
      return a;
    }
    if (closes(p)) {
      a.end = p + 1;
      return a;
    }
    const C* name = p;
    p = scan(p, [&](const C* q) { return separates(q) || code(*q) == '=' || closes(q); });
    const C* name_end = p;
    const C* q = p;
    while (q < end && is_space(*q)) ++q;
    Span value;
    if (q < end && code(*q) == '=') {
      ++q;
      while (q < end && is_space(*q)) ++q;
      if (q >= end) return std::nullopt;
      if (code(*q) == '"' || code(*q) == '\'') {
        const unsigned quote = code(*q);
        const C* close = scan(q + 1, [&](const C* c) { return code(*c) == quote; });
        if (close >= end) return std::nullopt;
        value = {offset(q + 1), offset(close), true};
        p = close + 1;
      } else {
        const C* v = q;
        q = scan(q, [&](const C* c) { return is_space(*c) || closes(c); });
        value = {offset(v), offset(q), true};
        p = q;
      }
    }
    if (name == name_end) {  // a stray '=' or quote: step over it
      if (p == name) ++p;
      continue;
    }
    Span* slot = equals_ci(name, name_end, "language") ? &a.language
                 : equals_ci(name, name_end, "type")   ? &a.type
                 : equals_ci(name, name_end, "runat")  ? &a.runat
                                                       : nullptr;
    if (slot && !slot->found) *slot = value.found ? value : Span{0, 0, true};
    if (equals_ci(name, name_end, "src")) a.src = true;
  }
}

template <class C>
bool ends_with_encode(const C* b, const C* e) {
  return e - b >= 7 && equals_ci(e - 7, e, ".encode");
}

template <class C>
Lang lang_of(const C* b, const C* e) {
  if (ends_with_encode(b, e)) e -= 7;
  if (equals_ci(b, e, "vbscript")) return Lang::VBScript;
  if (equals_ci(b, e, "jscript") || equals_ci(b, e, "javascript")) return Lang::JScript;
  return Lang::None;
}

template <class C>
Lang lang_of_type(const C* b, const C* e) {
  for (std::string_view t : {"text/javascript", "application/javascript", "text/jscript",
                             "text/ecmascript", "application/ecmascript",
                             "application/x-javascript"})
    if (equals_ci(b, e, t)) return Lang::JScript;
  if (equals_ci(b, e, "text/vbscript") || equals_ci(b, e, "text/vbs")) return Lang::VBScript;
  return Lang::None;
}

// Handles the <script ...> element at lt; returns where scanning goes on.
// In ASP pages (asp set) only elements with runat=server are encoded, and the <% %>
// blocks in the tag itself go through tag_blocks(from, to), in order with any change to
// the tag; a client tag is otherwise left as it is.
template <class C, class TagBlocks>
const C* script_element(Writer<C>& w, const C* lt, const C* end, Lang default_lang, bool asp,
                        TagBlocks tag_blocks) {
  const auto tag = parse_attributes(lt, lt + 7, end, false, asp);
  if (!tag) return lt + 1;
  const C* body = tag->end;
  const Span& r = tag->runat;
  const bool server = r.found && equals_ci(lt + r.b, lt + r.e, "server");
  if (asp && !server) {  // a client script of a page: scanning goes on in its body
    tag_blocks(lt, body);
    return body;
  }
  const C* close = find_tag_ci(body, end, "/script");
  Lang lang = default_lang;
  if (tag->language.found) {
    const C* vb = lt + tag->language.b;
    const C* ve = lt + tag->language.e;
    lang = ends_with_encode(vb, ve) ? Lang::None : lang_of(vb, ve);
  } else if (tag->type.found) {
    lang = lang_of_type(lt + tag->type.b, lt + tag->type.e);
  }
  if (close == end || lang == Lang::None || tag->src ||
      all_space(body, close)) {
    tag_blocks(lt, body);
    return body;
  }

  // Rewrite or add the language first, then the body; nothing changes when the body has
  // nothing to encode after its marker.
  ++w.held;
  const std::size_t mark = w.out.size();
  const C* copied = w.copied;
  if (tag->language.found) {
    tag_blocks(lt, lt + tag->language.b);
    w.replace(lt + tag->language.b, lt + tag->language.e, encoded_name(lang));
    tag_blocks(lt + tag->language.e, body);
  } else {
    const C* gt = body - 1;
    const C* at = (gt > lt && code(gt[-1]) == '/') ? gt - 1 : gt;
    tag_blocks(lt, at);
    w.insert(at, " LANGUAGE=\"");
    w.literal(encoded_name(lang));
    w.literal("\"");
  }
  if (!w.script(body, close)) {
    w.out.resize(mark);
    w.copied = copied;
    tag_blocks(lt, body);
  }
  --w.held;
  w.settle();
  return close;
}

template <class C>
void encode_plain(const C* b, const C* e, Writer<C>& w) {
  w.script(b, e);
  w.copy_to(e);
}

template <class C>
void encode_html(const C* b, const C* e, Lang lang, Writer<C>& w) {
  const C* p = b;
  while ((p = find_tag_start(p, e, '!')) < e) {
    if (starts_ci(p, e, "<!--")) {
      const C* close = find_pair(p + 4, e, '-', '-');
      while (close < e && !(close + 2 < e && code(close[2]) == '>'))
        close = find_pair(close + 1, e, '-', '-');
      p = close < e ? close + 3 : e;
    } else if (starts_ci(p + 1, e, "script") && p + 7 < e &&
               (is_space(p[7]) || code(p[7]) == '>' || code(p[7]) == '/')) {
      p = script_element(w, p, e, lang, false, [](const C*, const C*) {});
    } else {
      ++p;
    }
  }
  w.copy_to(e);
}

// The page's language and what to do with its directive.
template <class C>
struct Directive {
  const C* at = nullptr;  // "<%@" of an existing directive
  std::optional<Attributes<C>> attrs;
  Lang lang = Lang::None;
};

// The directive is the page's first <% %> block, when it starts with "<%@".
template <class C>
Directive<C> find_directive(const C* b, const C* e, Lang default_lang) {
  Directive<C> d;
  d.lang = default_lang;
  const C* first = find_pair(b, e, '<', '%');
  if (first + 2 >= e || code(first[2]) != '@') return d;
  const C* close = find_pair(first + 2, e, '%', '>');
  if (close == e) return d;
  d.at = first;
  d.attrs = parse_attributes(first, first + 3, close, true);
  if (d.attrs && d.attrs->language.found)
    d.lang = lang_of(first + d.attrs->language.b, first + d.attrs->language.e);
  return d;
}

template <class C>
void rewrite_directive(const Directive<C>& d, const KindOptions& opt, Writer<C>& w) {
  if (!d.attrs || d.lang == Lang::None) return;
  const Span& l = d.attrs->language;
  if (l.found) {
    if (!ends_with_encode(d.at + l.b, d.at + l.e))
      w.replace(d.at + l.b, d.at + l.e, encoded_name(d.lang));
  } else if (opt.add_directive) {
    const C* after = d.at + 3;
    w.insert(after, " LANGUAGE=");
    w.literal(encoded_name(d.lang));
    if (!is_space(*after)) w.literal(" ");
  }
}

// The <% %> block at p; returns where scanning goes on, or e when it has no "%>".
template <class C>
const C* server_block(const C* p, const C* e, const Directive<C>& d, const KindOptions& opt,
                      Writer<C>& w) {
  const C* body = p + 2;
  const C* close = find_pair(body, e, '%', '>');
  if (close == e) return e;
  if (p == d.at) {
    rewrite_directive(d, opt, w);
  } else if (body < close && code(*body) != '@') {
    if (code(*body) == '=') ++body;
    if (d.lang != Lang::None && body < close && !starts_ci(body, close, "#@~^"))
      w.script(body, close);
  }
  return close + 2;
}

template <class C>
void encode_asp(const C* b, const C* e, const KindOptions& opt, Writer<C>& w) {
  const Directive<C> d = find_directive(b, e, opt.default_lang);
  if (!d.at && opt.add_directive && d.lang != Lang::None) {
    w.literal("<%@ LANGUAGE = ");
    w.literal(encoded_name(d.lang));
    w.literal(opt.crlf_after_directive ? " %>\r\n" : " %>\n");
  }
  // The blocks inside a <script> tag: the tag's parse found each one whole in [from, to).
  auto tag_blocks = [&](const C* from, const C* to) {
    while ((from = find_pair(from, to, '<', '%')) < to) from = server_block(from, to, d, opt, w);
  };
  const C* p = b;
  while ((p = find_tag_start(p, e, '%')) < e) {
    if (p + 1 < e && code(p[1]) == '%') {
      p = server_block(p, e, d, opt, w);
    } else if (starts_ci(p + 1, e, "script") && p + 7 < e &&
               (is_space(p[7]) || code(p[7]) == '>' || code(p[7]) == '/')) {
      p = script_element(w, p, e, d.lang, true, tag_blocks);
    } else {
      ++p;
    }
  }
  w.copy_to(e);
}

}  // namespace

std::optional<Kind> kind_for_extension(std::string_view ext) {
  const char* b = ext.data();
  const char* e = b + ext.size();
  for (std::string_view x : {".asp", ".asa", ".cdx"})
    if (equals_ci(b, e, x)) return Kind::Asp;
  for (std::string_view x : {".htm", ".html", ".sct"})
    if (equals_ci(b, e, x)) return Kind::Html;
  for (std::string_view x : {".js", ".vbs"})
    if (equals_ci(b, e, x)) return Kind::Plain;
  return std::nullopt;
}

Lang default_lang_for(Kind kind, std::string_view ext) {
  if (kind == Kind::Asp) return Lang::VBScript;
  if (kind == Kind::Plain && equals_ci(ext.data(), ext.data() + ext.size(), ".vbs"))
    return Lang::VBScript;
  return Lang::JScript;
}

Lang lang_from_name(std::string_view name) {
  return lang_of(name.data(), name.data() + name.size());
}

template <class C>
void encode_text(const C* begin, const C* end, Charset cs, const KindOptions& opt,
                 std::basic_string<C>& out, const Drain<C>* drain) {
  Writer<C> w{out, cs, begin, drain};
  switch (opt.kind) {
    case Kind::Plain: encode_plain(begin, end, w); break;
    case Kind::Html: encode_html(begin, end, opt.default_lang, w); break;
    case Kind::Asp: encode_asp(begin, end, opt, w); break;
  }
}

template void encode_text<char>(const char*, const char*, Charset, const KindOptions&,
                                std::string&, const Drain<char>*);
template void encode_text<char16_t>(const char16_t*, const char16_t*, Charset,
                                    const KindOptions&, std::u16string&, const Drain<char16_t>*);

}  // namespace screnc
