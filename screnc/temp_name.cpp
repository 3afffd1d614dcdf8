#include "temp_name.h"

namespace screnc {
namespace {

constexpr std::string_view kTag = ".screnc-";

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The units one character starting with lead byte c takes.
std::size_t units_of(unsigned char c, NameUnits units) {
  if (units == NameUnits::Bytes) return 1;
  if (is_continuation(c)) return 0;
  return c >= 0xF0 ? 2 : 1;  // a character above U+FFFF is a surrogate pair
}

}  // namespace

std::size_t name_length(std::string_view name, NameUnits units) {
  std::size_t n = 0;
  for (unsigned char c : name) n += units_of(c, units);
  return n;
}

std::string temp_file_name(std::string_view name, std::string_view unique, std::size_t limit,
                           NameUnits units) {
  const std::size_t fixed = 1 + kTag.size() + name_length(unique, units);
  const std::size_t room = limit > fixed ? limit - fixed : 0;
  std::size_t keep = 0, used = 0;
  while (keep < name.size()) {
    // The whole next character, lead byte and continuation bytes.
    std::size_t next = keep + 1;
    while (next < name.size() && is_continuation(static_cast<unsigned char>(name[next]))) ++next;
    const std::size_t cost = name_length(name.substr(keep, next - keep), units);
    if (used + cost > room) break;
    used += cost;
    keep = next;
  }
  std::string out;
  out.reserve(fixed + keep);
  if (keep > 0) out.append(".").append(name.substr(0, keep));
  out.append(kTag).append(unique);
  return out;
}

}  // namespace screnc
