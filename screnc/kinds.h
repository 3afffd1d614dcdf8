// What gets encoded in each kind of file.
//
//   Plain (.js, .vbs): the whole text is one block.
//   HTML (.htm, .html, .sct): the body of each <script> element in JScript or VBScript.
//   ASP (.asp, .asa, .cdx, or any file with /e asp): every <% %> body, and the body of
//     each <script runat=server> element; the page gets a LANGUAGE directive.
//
// In every kind a "**Start Encode**" marker comment keeps the text up to and including
// it plain; the block starts with the next character.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "text_codec.h"

namespace screnc {

enum class Kind { Plain, Html, Asp };
enum class Lang { None, VBScript, JScript };

struct KindOptions {
  Kind kind = Kind::Plain;
  Lang default_lang = Lang::JScript;  // for script that names no language
  bool add_directive = true;          // ASP: add or complete the LANGUAGE directive (no /xl)
  bool crlf_after_directive = false;  // ASP: the added directive ends with CR LF, not LF
};

// ".asp" -> Asp, ".htm" -> Html, ".js" -> Plain ...; case-insensitive; nullopt if unknown.
std::optional<Kind> kind_for_extension(std::string_view ext);

// The language a plain file's extension implies when no /l is given.
Lang default_lang_for(Kind kind, std::string_view ext);

// "VBScript" / "JScript" / "JavaScript" (any case, with or without ".Encode").
Lang lang_from_name(std::string_view name);

// Takes what was written to out so far and empties out, so that a large file's output
// need not be held whole.
template <class C>
using Drain = std::function<void(std::basic_string<C>& out)>;

// Encodes the text [begin, end) as a file of the given kind, appending to out. With a
// drain, out is handed to it whenever about kDrainAt units have gathered (the caller
// drains the rest at the end).
template <class C>
void encode_text(const C* begin, const C* end, Charset cs, const KindOptions& opt,
                 std::basic_string<C>& out, const Drain<C>* drain = nullptr);

inline constexpr std::size_t kDrainAt = std::size_t(1) << 20;

}  // namespace screnc
