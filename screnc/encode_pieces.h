// A page file encoded while it is read: in pieces into one buffer used again and again
// (page_reader.h), each piece's output written at once. Only a page that cannot go this way
// is held whole, as encode_file_stream needs it: one that fits in the first piece, UTF-16,
// a script file (its whole text is one block), a page written into a device or a pipe
// (which cannot take back what it was given), and a page whose character set turns out
// other than the first pieces said after a block that depends on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kinds.h"
#include "text_codec.h"

namespace screnc {

enum class PageOutcome { Ok, BadFormat, CannotRead, CannotWrite };

struct PageResult {
  PageOutcome outcome = PageOutcome::Ok;
  std::string reason;  // the system's text, for CannotRead and CannotWrite
};

// Encodes the file src into dst (through AtomicWrite, `mode` as there): the same bytes,
// and the same outcome, as reading it whole and giving it to encode_file_stream. A page
// that is BadFormat writes nothing, whenever that is found.
PageResult encode_page_file(const std::string& src, const std::string& dst,
                            std::optional<std::uint32_t> mode, const KindOptions& kind,
                            std::optional<Charset> code_page);

}  // namespace screnc
