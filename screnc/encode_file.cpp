#include "encode_file.h"

namespace screnc {

Charset charset_for(std::string_view text, std::optional<Charset> code_page) {
  if (code_page) return *code_page;
  return is_valid_utf8(text) ? Charset::Utf8 : Charset::SingleByte;
}

FileStatus encode_file_bytes(std::string_view input, const KindOptions& kind,
                             std::optional<Charset> code_page, std::string& out) {
  const Bom bom = detect_bom(input);
  const std::string_view text = input.substr(bom_size(bom));
  if (text.empty()) return FileStatus::BadFormat;
  out.clear();
  out.append(bom_bytes(bom));

  if (bom == Bom::Utf16LE || bom == Bom::Utf16BE) {
    if (text.size() % 2 != 0) return FileStatus::BadFormat;
    const bool big = bom == Bom::Utf16BE;
    const std::u16string units = utf16_from_bytes(text, big);
    std::u16string encoded;
    encoded.reserve(units.size() + units.size() / 4 + 64);
    encode_text(units.data(), units.data() + units.size(), Charset::Utf16, kind, encoded);
    append_utf16_bytes(out, encoded, big);
    return FileStatus::Ok;
  }

  const Charset cs = bom == Bom::Utf8 ? Charset::Utf8 : charset_for(text, code_page);
  if (cs != Charset::SingleByte && (bom == Bom::Utf8 || code_page) && !is_valid_text(text, cs))
    return FileStatus::BadFormat;
  out.reserve(input.size() + input.size() / 4 + 64);
  encode_text(text.data(), text.data() + text.size(), cs, kind, out);
  return FileStatus::Ok;
}

}  // namespace screnc
