// One file's bytes in, its encoded bytes out: byte order mark, character set, kind.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "kinds.h"
#include "text_codec.h"

namespace screnc {

enum class FileStatus { Ok, BadFormat };

// Reads `input` as the real tool does: a UTF-8 or UTF-16 BOM decides the encoding and is
// written back first; without one the text is UTF-8 when it is valid UTF-8, else
// Windows-1252, unless `code_page` says otherwise. An empty text (no bytes, or only a
// BOM), odd-sized UTF-16, and text not well formed in a UTF-8 or double-byte code page
// that was asked for (BOM or /cp) are BadFormat.
FileStatus encode_file_bytes(std::string_view input, const KindOptions& kind,
                             std::optional<Charset> code_page, std::string& out);

// What encode_file_stream hands on: the output, piece by piece, in order.
using ByteSink = std::function<void(std::string_view bytes)>;

// As encode_file_bytes, but the output goes to `sink` in pieces of about a megabyte, so
// that only the input is held whole. BadFormat is decided before anything is handed on.
FileStatus encode_file_stream(std::string_view input, const KindOptions& kind,
                              std::optional<Charset> code_page, const ByteSink& sink);

// The character set encode_file_bytes would use for text without a BOM.
Charset charset_for(std::string_view text, std::optional<Charset> code_page);

}  // namespace screnc
