#include "encode_pieces.h"

#include "atomic_file.h"
#include "encode_file.h"
#include "page_reader.h"

namespace screnc {
namespace {

PageResult commit(PieceOutput& out) {
  if (!out.err) out.err = out.file.commit();
  if (out.err) return {PageOutcome::CannotWrite, out.err->reason};
  return {};
}

PageResult encode_whole(std::string_view input, const std::string& dst,
                        std::optional<std::uint32_t> mode, const KindOptions& kind,
                        std::optional<Charset> code_page) {
  PieceOutput out(dst, mode);
  if (encode_file_stream(input, kind, code_page, [&out](std::string_view p) { out.put(p); }) !=
      FileStatus::Ok)
    return {PageOutcome::BadFormat, {}};
  return commit(out);
}

PageResult read_failure(const IoError& err) { return {PageOutcome::CannotRead, err.reason}; }

// What encode_in_pieces found: done, or the page is to be encoded whole after all.
struct Streamed {
  PageResult result;
  bool again_whole = false;
};

Streamed encode_in_pieces(PageReader& in, Bom bom, const std::string& dst,
                          std::optional<std::uint32_t> mode, const KindOptions& kind,
                          std::optional<Charset> code_page) {
  PieceOutput out(dst, mode);
  in.consume(bom_size(bom));
  // Without a BOM or /cp, the text is UTF-8 while it reads as UTF-8. Only the LEN of a
  // block with a character from U+0080 up differs in Windows-1252, so a page found not
  // to be UTF-8 after such a block is encoded again, whole.
  Charset cs = bom == Bom::Utf8 ? Charset::Utf8 : code_page ? *code_page : Charset::Utf8;
  bool guessed = bom != Bom::Utf8 && !code_page;
  TextCheck check(cs);
  check.feed(in.held(), in.at_end());
  out.put(bom_bytes(bom));
  PageState state;
  std::string encoded;
  for (;;) {
    if (!check.ok()) {
      if (!guessed) return {{PageOutcome::BadFormat, {}}, false};
      if (state.wide) return {{}, true};
      cs = Charset::SingleByte;
      guessed = false;
      check = TextCheck(cs);
    }
    const std::string_view text = in.held();
    in.consume(encode_piece(text.data(), text.data() + text.size(), in.at_end(), cs, kind,
                            state, encoded));
    out.put(encoded);
    encoded.clear();
    if (in.at_end()) break;
    std::string_view fresh;
    if (const auto err = in.fill(fresh)) return {read_failure(*err), false};
    check.feed(fresh, in.at_end());
  }
  in.close();
  return {commit(out), false};
}

}  // namespace

PageResult encode_page_file(const std::string& src, const std::string& dst,
                            std::optional<std::uint32_t> mode, const KindOptions& kind,
                            std::optional<Charset> code_page) {
  {
    PageReader in;
    std::string_view fresh;
    auto err = in.open(src);
    if (!err) err = in.fill(fresh);
    if (err) return read_failure(*err);
    const Bom bom = detect_bom(in.held());
    const bool whole = in.at_end() || bom == Bom::Utf16LE || bom == Bom::Utf16BE ||
                       kind.kind == Kind::Plain || written_as_stream(dst);
    if (!whole) {
      Streamed s = encode_in_pieces(in, bom, dst, mode, kind, code_page);
      if (!s.again_whole) return s.result;
    } else {
      if (const auto e = in.fill_all()) return read_failure(*e);
      in.close();
      return encode_whole(in.held(), dst, mode, kind, code_page);
    }
  }
  PageReader in;
  auto err = in.open(src);
  if (!err) err = in.fill_all();
  if (err) return read_failure(*err);
  in.close();
  return encode_whole(in.held(), dst, mode, kind, code_page);
}

}  // namespace screnc
