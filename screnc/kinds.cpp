#include "kinds.h"

#include <cstring>
#include <type_traits>

#include "block.h"
#include "tag_scan.h"

namespace screnc {
namespace {

using namespace scan;

std::string_view encoded_name(Lang lang) {
  return lang == Lang::VBScript ? "VBScript.Encode" : "JScript.Encode";
}

// Thrown where the answer depends on text past the end of the piece: the item is done
// again from its start once more text has been read.
struct NeedMore {};

// Appends to out: copies of the input up to a point, literals, blocks.
template <class C>
struct Writer {
  std::basic_string<C>& out;
  Charset cs;
  const C* copied;
  const Drain<C>* drain = nullptr;
  int held = 0;  // while above 0, out may still be cut back and must stay whole
  const C* end = nullptr;  // where the text read so far stops
  bool final = true;       // end is the end of the page
  PageState* state = nullptr;

  // The page offset of p.
  std::uint64_t at(const C* p) const {
    return state->offset + static_cast<std::uint64_t>(p - copied_origin);
  }
  const C* copied_origin = nullptr;  // the piece's first unit, at state->offset

  // A scan that stopped at the end of the piece has not seen enough of the page.
  void need(bool reached_end) const {
    if (reached_end && !final) throw NeedMore{};
  }
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
    bool wide;
    if constexpr (sizeof(C) == 1)
      wide = encode_block(from, e, end, cs, out);  // what follows e may be read
    else
      wide = encode_block(from, e, cs, out);
    if (wide) state->wide = true;
    copied = e;
    settle();
    return true;
  }
};

// Whether the '<' at p opens a <script> tag; p + 1 < end.
template <class C>
bool opens_script(const C* p, const C* end, const Writer<C>& w) {
  w.need(end - p < 8);
  return starts_ci(p + 1, end, "script") && p + 7 < end &&
         (is_space(p[7]) || code(p[7]) == '>' || code(p[7]) == '/');
}

// Handles the <script ...> element at lt; returns where scanning goes on.
// In ASP pages (asp set) only elements with runat=server are encoded, and the <% %>
// blocks in the tag itself go through tag_blocks(from, to), in order with any change to
// the tag; a client tag is otherwise left as it is.
template <class C, class TagBlocks>
const C* script_element(Writer<C>& w, const C* lt, const C* end, Lang default_lang, bool asp,
                        TagBlocks tag_blocks) {
  const auto tag = parse_attributes(lt, lt + 7, end, false, asp);
  w.need(!tag);  // a tag not closed before the end
  if (!tag) return lt + 1;
  const C* body = tag->end;
  const Span& r = tag->runat;
  const bool server = r.found && equals_ci(lt + r.b, lt + r.e, "server");
  if (asp && !server) {  // a client script of a page: scanning goes on in its body
    tag_blocks(lt, body);
    return body;
  }
  const C* close = find_tag_ci(body, end, "/script");
  w.need(close == end);
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

// The page's first <% %> block is its directive when it starts with "<%@": found once,
// before anything is written, since the page gets one when it has none.
template <class C>
void find_directive(const C* b, const C* e, Lang default_lang, Writer<C>& w) {
  PageState& d = *w.state;
  d.lang = default_lang;
  const C* first = find_pair(b, e, '<', '%');
  w.need(first + 2 >= e);
  if (first + 2 >= e || code(first[2]) != '@') return;
  const C* close = find_pair(first + 2, e, '%', '>');
  w.need(close == e);
  if (close == e) return;
  d.has_directive = true;
  d.directive_at = w.at(first);
  const auto attrs = parse_attributes(first, first + 3, close, true);
  d.directive_read = attrs.has_value();
  if (attrs && attrs->language.found) {
    d.language_found = true;
    d.language_begin = attrs->language.b;
    d.language_end = attrs->language.e;
    d.lang = lang_of(first + attrs->language.b, first + attrs->language.e);
  }
}

// The directive at p.
template <class C>
void rewrite_directive(const C* p, const KindOptions& opt, Writer<C>& w) {
  const PageState& d = *w.state;
  if (!d.directive_read || d.lang == Lang::None) return;
  if (d.language_found) {
    const C* vb = p + d.language_begin;
    const C* ve = p + d.language_end;
    if (!ends_with_encode(vb, ve)) w.replace(vb, ve, encoded_name(d.lang));
  } else if (opt.add_directive) {
    const C* after = p + 3;
    w.insert(after, " LANGUAGE=");
    w.literal(encoded_name(d.lang));
    if (!is_space(*after)) w.literal(" ");
  }
}

// The <% %> block at p; returns where scanning goes on, or e when it has no "%>".
template <class C>
const C* server_block(const C* p, const C* e, const KindOptions& opt, Writer<C>& w) {
  const C* body = p + 2;
  const C* close = find_pair(body, e, '%', '>');
  w.need(close == w.end);
  if (close == e) return e;
  const PageState& d = *w.state;
  if (d.has_directive && w.at(p) == d.directive_at) {
    rewrite_directive(p, opt, w);
  } else if (body < close && code(*body) != '@') {
    if (code(*body) == '=') ++body;
    if (d.lang != Lang::None && body < close && !starts_ci(body, close, "#@~^"))
      w.script(body, close);
  }
  return close + 2;
}

// One step of a page: what follows the tag start at p; returns where scanning goes on.
template <class C>
const C* asp_item(const C* p, const C* e, const KindOptions& opt, Writer<C>& w) {
  // The blocks inside a <script> tag: the tag's parse found each one whole in [from, to).
  auto tag_blocks = [&](const C* from, const C* to) {
    while ((from = find_pair(from, to, '<', '%')) < to) from = server_block(from, to, opt, w);
  };
  if (code(p[1]) == '%') return server_block(p, e, opt, w);
  if (opens_script(p, e, w)) return script_element(w, p, e, w.state->lang, true, tag_blocks);
  return p + 1;
}

template <class C>
const C* html_item(const C* p, const C* e, Lang lang, Writer<C>& w) {
  w.need(e - p < 4);
  if (starts_ci(p, e, "<!--")) {
    const C* close = find_pair(p + 4, e, '-', '-');
    while (close < e && !(close + 2 < e && code(close[2]) == '>'))
      close = find_pair(close + 1, e, '-', '-');
    w.need(close == e);
    return close < e ? close + 3 : e;
  }
  if (opens_script(p, e, w)) return script_element(w, p, e, lang, false, [](const C*, const C*) {});
  return p + 1;
}

// Encodes [b, e) as far as it can; returns where it stopped (e when final).
template <class C>
const C* encode_items(const C* b, const C* e, const KindOptions& opt, Writer<C>& w) {
  PageState& st = *w.state;
  if (opt.kind == Kind::Plain) {  // the whole text is one block
    if (!w.final) return b;
    w.script(b, e);
    w.copy_to(e);
    return e;
  }
  if (opt.kind == Kind::Asp && !st.begun) {
    try {
      find_directive(b, e, opt.default_lang, w);
    } catch (const NeedMore&) {
      st = PageState{st.offset};
      return b;
    }
    st.begun = true;
    if (!st.has_directive && opt.add_directive && st.lang != Lang::None) {
      w.literal("<%@ LANGUAGE = ");
      w.literal(encoded_name(st.lang));
      w.literal(opt.crlf_after_directive ? " %>\r\n" : " %>\n");
    }
  }
  const char next = opt.kind == Kind::Asp ? '%' : '!';
  for (const C* p = b;;) {
    const C* item = find_tag_start(p, e, next);
    if (item == e) {
      if (w.final) break;
      const C* keep = e - p > 1 ? e - 1 : p;  // a '<' in the last unit may open a tag
      w.copy_to(keep);
      return keep;
    }
    const std::size_t mark = w.out.size();
    const C* copied = w.copied;
    try {
      p = opt.kind == Kind::Asp ? asp_item(item, e, opt, w) : html_item(item, e, st.lang, w);
    } catch (const NeedMore&) {
      w.out.resize(mark);
      w.copied = copied;
      w.held = 0;
      w.copy_to(item);
      return item;
    }
  }
  w.copy_to(e);
  return e;
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
std::size_t encode_piece(const C* begin, const C* end, bool final, Charset cs,
                         const KindOptions& opt, PageState& state, std::basic_string<C>& out,
                         const Drain<C>* drain) {
  if (opt.kind == Kind::Html) state.lang = opt.default_lang;
  Writer<C> w{out, cs, begin, drain};
  w.end = end;
  w.final = final;
  w.state = &state;
  w.copied_origin = begin;
  const C* stop = encode_items(begin, end, opt, w);
  const auto done = static_cast<std::size_t>(stop - begin);
  state.offset += done;
  return done;
}

template <class C>
void encode_text(const C* begin, const C* end, Charset cs, const KindOptions& opt,
                 std::basic_string<C>& out, const Drain<C>* drain) {
  PageState state;
  encode_piece(begin, end, true, cs, opt, state, out, drain);
}

template std::size_t encode_piece<char>(const char*, const char*, bool, Charset,
                                        const KindOptions&, PageState&, std::string&,
                                        const Drain<char>*);
template void encode_text<char>(const char*, const char*, Charset, const KindOptions&,
                                std::string&, const Drain<char>*);
template void encode_text<char16_t>(const char16_t*, const char16_t*, Charset,
                                    const KindOptions&, std::u16string&, const Drain<char16_t>*);

}  // namespace screnc
