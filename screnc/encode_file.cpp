#include "encode_file.h"

#include <algorithm>

namespace screnc {
namespace {

// Room for the output of n units: what a drain takes at a time, or less for a small text
// (a small page then needs no large buffer from the system).
std::size_t output_room(std::size_t n) { return std::min(2 * kDrainAt, n + n / 2 + 64); }

}  // namespace

Charset charset_for(std::string_view text, std::optional<Charset> code_page) {
  if (code_page) return *code_page;
  return is_valid_utf8(text) ? Charset::Utf8 : Charset::SingleByte;
}

FileStatus encode_file_stream(std::string_view input, const KindOptions& kind,
                              std::optional<Charset> code_page, const ByteSink& sink) {
  const Bom bom = detect_bom(input);
  const std::string_view text = input.substr(bom_size(bom));
  if (text.empty()) return FileStatus::BadFormat;

  if (bom == Bom::Utf16LE || bom == Bom::Utf16BE) {
    if (text.size() % 2 != 0) return FileStatus::BadFormat;
    sink(bom_bytes(bom));
    const bool big = bom == Bom::Utf16BE;
    const std::u16string units = utf16_from_bytes(text, big);
    std::u16string encoded;
    encoded.reserve(output_room(units.size()));
    std::string bytes;
    const Drain<char16_t> drain = [&](std::u16string& piece) {
      bytes.clear();
      append_utf16_bytes(bytes, piece, big);
      sink(bytes);
      piece.clear();
    };
    encode_text(units.data(), units.data() + units.size(), Charset::Utf16, kind, encoded, &drain);
    drain(encoded);
    return FileStatus::Ok;
  }

  const Charset cs = bom == Bom::Utf8 ? Charset::Utf8 : charset_for(text, code_page);
  if (cs != Charset::SingleByte && (bom == Bom::Utf8 || code_page) && !is_valid_text(text, cs))
    return FileStatus::BadFormat;
  sink(bom_bytes(bom));
  std::string encoded;
  encoded.reserve(output_room(text.size()));
  const Drain<char> drain = [&](std::string& piece) {
    sink(piece);
    piece.clear();
  };
  encode_text(text.data(), text.data() + text.size(), cs, kind, encoded, &drain);
  drain(encoded);
  return FileStatus::Ok;
}

FileStatus encode_file_bytes(std::string_view input, const KindOptions& kind,
                             std::optional<Charset> code_page, std::string& out) {
  out.clear();
  out.reserve(input.size() + input.size() / 4 + 64);
  return encode_file_stream(input, kind, code_page,
                            [&out](std::string_view piece) { out.append(piece); });
}

}  // namespace screnc
