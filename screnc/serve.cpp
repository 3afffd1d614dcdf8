#include "serve.h"

#include <string>
#include <vector>

#include "console_out.h"
#include "program.h"

namespace screnc {
namespace {

constexpr int kFailure = 255;

enum class Read { Ok, End, Short };

Read read_exact(std::FILE* in, char* p, std::size_t n) {
  const std::size_t got = std::fread(p, 1, n, in);
  if (got == n) return Read::Ok;
  return got == 0 ? Read::End : Read::Short;
}

Read read_u32(std::FILE* in, std::uint32_t& v) {
  unsigned char b[4];
  const Read r = read_exact(in, reinterpret_cast<char*>(b), 4);
  v = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
      std::uint32_t(b[3]) << 24;
  return r;
}

void put_u32(std::string& out, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

// One request; End only when the input ends before it starts.
Read read_request(std::FILE* in, std::vector<std::string>& args) {
  std::uint32_t count = 0;
  const Read r = read_u32(in, count);
  if (r != Read::Ok) return r;
  if (count > kMaxArguments) return Read::Short;
  args.assign(count, std::string());
  for (std::string& a : args) {
    std::uint32_t size = 0;
    if (read_u32(in, size) != Read::Ok || size > kMaxArgumentBytes) return Read::Short;
    a.resize(size);
    if (size > 0 && read_exact(in, a.data(), size) != Read::Ok) return Read::Short;
  }
  return Read::Ok;
}

int protocol_error(const char* what) {
  write_text(stderr, std::string("screnc: --serve: ") + what + "\n");
  return kFailure;
}

}  // namespace

int serve(std::FILE* in, std::FILE* out) {
  set_binary(in);
  set_binary(out);
  // The greeting goes first: a caller that only asks whether this program serves (its
  // input the null device) learns it without sending anything.
  std::fwrite(kServeHello.data(), 1, kServeHello.size(), out);
  std::fflush(out);
  std::string hello(kServeHello.size(), '\0');
  const Read greeted = read_exact(in, hello.data(), hello.size());
  if (greeted == Read::End) return 0;
  if (greeted != Read::Ok || hello != kServeHello)
    return protocol_error("expected the handshake \"screnc-serve 1\"");

  std::vector<std::string> args;
  std::string text, answer;
  for (;;) {
    const Read r = read_request(in, args);
    if (r == Read::End) return 0;
    if (r == Read::Short) return protocol_error("request cut short or too large");
    const std::vector<std::string_view> views(args.begin(), args.end());
    text.clear();
    const int status = run_program(views, &text);
    answer.clear();
    put_u32(answer, static_cast<std::uint32_t>(status));
    put_u32(answer, static_cast<std::uint32_t>(text.size()));
    answer.append(text);
    if (std::fwrite(answer.data(), 1, answer.size(), out) != answer.size() ||
        std::fflush(out) != 0)
      return kFailure;  // nobody is listening any more
  }
}

}  // namespace screnc
