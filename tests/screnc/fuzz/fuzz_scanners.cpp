// libFuzzer target over the HTML and ASP scanners (built by scripts/fuzz.sh).
//
// The first byte picks the switches and the character set; the rest is the page. Besides
// the sanitizers' checks: when the page holds no '#', every "#@~^" in the output was
// written by the encoder, so each must be a block that decodes with matching fields
// (for text that is well formed in its character set, as the program requires). The page
// itself also goes through the block decoder, which must take any text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "block.h"
#include "kinds.h"

#ifndef FUZZ_KIND
#define FUZZ_KIND Asp
#endif

namespace {

using namespace screnc;

constexpr Charset kCharsets[] = {Charset::Utf8, Charset::SingleByte, Charset::Cp932,
                                 Charset::Cp936, Charset::Cp949, Charset::Cp950};

template <class C>
void check(const std::basic_string<C>& page, Charset cs, const KindOptions& opt) {
  std::basic_string<C> out;
  encode_text(page.data(), page.data() + page.size(), cs, opt, out);
  std::basic_string<C> any;
  decode_blocks(page.data(), page.data() + page.size(), cs, any);
  if (page.find(C('#')) != std::basic_string<C>::npos) return;
  if constexpr (sizeof(C) == 1)
    if (!is_valid_text(page, cs)) return;  // refused as "Bad format" by the program
  std::basic_string<C> plain;
  const DecodeResult r = decode_blocks(out.data(), out.data() + out.size(), cs, plain);
  if (r.malformed != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t sw = data[0];
  KindOptions opt;
  opt.kind = Kind::FUZZ_KIND;
  opt.default_lang = (sw & 1) ? Lang::VBScript : Lang::JScript;
  opt.add_directive = (sw & 2) != 0;
  opt.crlf_after_directive = (sw & 4) != 0;
  const auto* text = reinterpret_cast<const char*>(data + 1);
  const std::size_t n = size - 1;
  if ((sw >> 3) % 7 == 6) {
    std::u16string page(n / 2, u'\0');
    std::memcpy(page.data(), text, page.size() * 2);
    check(page, Charset::Utf16, opt);
  } else {
    check(std::string(text, n), kCharsets[(sw >> 3) % 7], opt);
  }
  return 0;
}
