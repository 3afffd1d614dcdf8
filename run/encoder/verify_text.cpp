#include "run/encoder/verify_text.h"

#include "block.h"
#include "text_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <type_traits>

namespace fs = std::filesystem;

namespace verify_text {

namespace {

thread_local StopQuestion* tStop = nullptr;
thread_local Workspace tOwn;

}  // namespace

StopQuestion::StopQuestion(const std::function<bool()>& stop)
    : ask_(stop ? &stop : nullptr), last_(std::chrono::steady_clock::now()) {
  tStop = ask_ ? this : nullptr;
}

StopQuestion::~StopQuestion() { tStop = nullptr; }

void Tick(std::size_t steps) {
  if (!tStop) return;
  const std::size_t before = tStop->count_;
  tStop->count_ += steps;
  if (before / 8192 == tStop->count_ / 8192 && ++tStop->calls_ % 64 != 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - tStop->last_ < std::chrono::milliseconds(50)) return;
  tStop->last_ = now;
  if ((*tStop->ask_)()) throw Stopped{};
}

void Offsets::Append(std::size_t n, std::size_t offset, std::size_t step) {
  if (n == 0) return;
  if (runs_.empty() || runs_.back().step != step || runs_.back().offset + (size_ - runs_.back().index) * step != offset)
    runs_.push_back({size_, offset, step});
  size_ += n;
}

std::vector<Offsets::Run>::const_iterator Offsets::RunOf(std::size_t i) const {
  return std::prev(std::upper_bound(runs_.begin(), runs_.end(), i, [](std::size_t k, const Run& r) { return k < r.index; }));
}

void Offsets::AppendFrom(const Offsets& other, std::size_t from, std::size_t n) {
  for (auto r = n ? other.RunOf(from) : other.runs_.end(); n > 0; ++r) {
    const std::size_t end = std::next(r) == other.runs_.end() ? other.size_ : std::next(r)->index;
    const std::size_t m = std::min(n, end - from);
    Append(m, r->offset + (from - r->index) * r->step, r->step);
    from += m, n -= m;
  }
}

std::size_t Offsets::operator[](std::size_t i) const {
  const auto r = RunOf(i);
  return r->offset + (i - r->index) * r->step;
}

Workspace::Lease::Lease() : w_(tOwn.busy ? *(own_ = std::make_unique<Workspace>()) : tOwn) { w_.busy = true; }

Workspace::Lease::~Lease() {
  w_.busy = false;
  constexpr std::size_t kKeep = std::size_t(4) << 20;  // characters of room kept for the next page
  if (!own_ && (w_.source.bytes.capacity() > kKeep || w_.output.bytes.capacity() > kKeep ||
                w_.original.capacity > kKeep || w_.encoded.capacity > kKeep))
    tOwn = Workspace{};
}

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Bytes go over in runs, the stop question asked between them.
void AppendUnits(Text& t, std::string_view units, std::size_t from, std::size_t, char flag) {
  constexpr std::size_t kRun = 8192;
  for (std::size_t i = 0; i < units.size(); i += kRun) {
    const std::size_t n = std::min(kRun, units.size() - i);
    Tick(n);
    t.bytes.append(units.substr(i, n));
    if (from != npos) t.at.Append(n, from + i, 1);
    t.flag.insert(t.flag.end(), n, flag);
  }
}

void AppendUnits(Text& t, std::u16string_view units, std::size_t from, std::size_t unitSize, char flag) {
  using C = char16_t;
  for (std::size_t i = 0; i < units.size(); ++i) {
    Tick();
    const auto u = static_cast<std::make_unsigned_t<C>>(units[i]);
    const std::size_t offset = from + unitSize * i;
    if (unitSize == 1 || (u < 0x80 && u != 0x01)) {
      t.bytes += static_cast<char>(u);
      if (from != npos) t.at.Append(1, offset, unitSize);
      t.flag.push_back(flag);
      continue;
    }
    for (const unsigned byte : {0x01u, 0x80u | (u >> 14), 0x80u | ((u >> 7) & 0x7Fu), 0x80u | (u & 0x7Fu)}) {
      t.bytes += static_cast<char>(byte);
      t.flag.push_back(flag);
    }
    if (from != npos) t.at.Append(4, offset, 0);
  }
}

}  // namespace

void TextOf(std::string_view file, Text& t) {
  t.bytes.clear(), t.at.clear(), t.flag.clear();
  const screnc::Bom bom = screnc::detect_bom(file);
  const std::size_t skip = screnc::bom_size(bom);
  t.wide = bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE;
  t.bytes.reserve(file.size());
  t.flag.reserve(file.size());
  if (t.wide) {
    const std::u16string units = screnc::utf16_from_bytes(file.substr(skip), bom == screnc::Bom::Utf16BE);
    AppendUnits(t, std::u16string_view(units), skip, 2, 0);
  } else {
    AppendUnits(t, file.substr(skip), skip, 1, 0);
  }
}

namespace {

// Copies `in` to `out` with each well-formed block replaced by its plain text. A block
// ends at a "^#~@" that closes it with the right length and checksum (a block's text may
// spell "^#~" before an escaped '@': the next one is tried, a few at most).
template <class C>
void DecodeFlagged(std::basic_string_view<C> in, screnc::Charset cs, Decoded& d, std::basic_string<C>& plain) {
  static constexpr C kStart[] = {'#', '@', '~', '^'}, kEnd[] = {'^', '#', '~', '@'};
  const std::basic_string_view<C> start(kStart, 4), stop(kEnd, 4);
  const auto append = [&](std::basic_string_view<C> units, char flag) {
    AppendUnits(d.text, units, npos, sizeof(C), flag);  // the output's offsets are not used
  };
  for (std::size_t p = 0; p < in.size();) {
    Tick();
    const std::size_t hit = in.find(start, p);
    append(in.substr(p, hit == npos ? npos : hit - p), 0);
    if (hit == npos) break;
    bool decoded = false;
    std::size_t end = in.find(stop, hit + 4);
    for (int tries = 0; !decoded && end != npos && tries < 8; ++tries) {
      plain.clear();
      const screnc::DecodeResult r = screnc::decode_blocks(in.data() + hit, in.data() + end + 4, cs, plain);
      decoded = r.blocks == 1 && r.malformed == 0;
      if (!decoded) end = in.find(stop, end + 1);
    }
    if (!decoded) {
      ++d.damaged;
      append(in.substr(hit, 4), 0);
      p = hit + 4;
      continue;
    }
    ++d.blocks;
    append(plain, 1);
    p = end + 4;
  }
}

}  // namespace

Decoded DecodeOutput(std::string_view file, Workspace& w) {
  Decoded d{w.output};
  d.text.bytes.clear(), d.text.at.clear(), d.text.flag.clear();
  const screnc::Bom bom = screnc::detect_bom(file);
  const std::string_view text = file.substr(screnc::bom_size(bom));
  d.text.wide = bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE;
  d.text.bytes.reserve(text.size());
  d.text.flag.reserve(text.size());
  if (d.text.wide) {
    const std::u16string units = screnc::utf16_from_bytes(text, bom == screnc::Bom::Utf16BE);
    DecodeFlagged(std::u16string_view(units), screnc::Charset::Utf16, d, w.plain16);
  } else {
    const bool utf8 = bom == screnc::Bom::Utf8 || screnc::is_valid_utf8(text);
    DecodeFlagged(text, utf8 ? screnc::Charset::Utf8 : screnc::Charset::SingleByte, d, w.plain);
  }
  return d;
}

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsNameChar(char c) {
  const char l = Lower(c);
  return (l >= 'a' && l <= 'z') || l == '.';
}

bool StartsWithNoCase(std::string_view s, std::size_t i, std::string_view word) {
  if (s.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(s[i + k]) != word[k]) return false;
  return true;
}

// The length of a LANGUAGE attribute that names a script language, starting at `i`
// (`language = "JScript.Encode"`, `LANGUAGE=vbscript`); 0 when there is none. `family`:
// 'J' for JScript and JavaScript, 'V' for VBScript.
std::size_t LanguageAttribute(std::string_view s, std::size_t i, char* family = nullptr) {
  if (!StartsWithNoCase(s, i, "language")) return 0;
  std::size_t p = i + 8;
  while (p < s.size() && IsBlank(s[p])) ++p;
  if (p == s.size() || s[p] != '=') return 0;
  ++p;
  while (p < s.size() && IsBlank(s[p])) ++p;
  const char quote = p < s.size() && (s[p] == '"' || s[p] == '\'') ? s[p] : 0;
  if (quote) ++p;
  const std::size_t name = p;
  while (p < s.size() && IsNameChar(s[p])) ++p;
  std::string value;
  for (std::size_t k = name; k < p; ++k) value += Lower(s[k]);
  if (value.ends_with(".encode")) value.resize(value.size() - 7);
  if (value != "jscript" && value != "javascript" && value != "vbscript") return 0;
  if (family) *family = value == "vbscript" ? 'V' : 'J';
  if (quote) {
    if (p == s.size() || s[p] != quote) return 0;
    ++p;
  }
  return p - i;
}

// Bytes of `w` that may equal `c`: the high bit of each byte that does is set, and of
// some bytes after one that does (a borrow), no others.
constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
inline std::uint64_t MayEqual(std::uint64_t w, char c) {
  const std::uint64_t x = w ^ (kOnes * static_cast<unsigned char>(c));
  return (x - kOnes) & ~x & kHigh;
}

// The same for bytes that may be a blank: every byte below '!' is marked, and some after one.
inline std::uint64_t MayBeBlank(std::uint64_t w) { return (w - kOnes * '!') & ~w & kHigh; }

// Where a directive ("<%@") or a blank before an 'l' (where a LANGUAGE attribute may
// begin) first stands in [from, limit) of `s`; `limit` when nowhere. Eight places at a
// time, each looked at closely only where its bytes may be one of the two ('<' and '@'
// two places on, or a blank or a control character and an 'l').
std::size_t NextCandidate(std::string_view s, std::size_t from, std::size_t limit) {
  const auto at = [&](std::size_t p) {
    const char c = s[p];
    return c == '<' ? s.size() - p >= 3 && s[p + 1] == '%' && s[p + 2] == '@'
                    : IsBlank(c) && p + 1 < s.size() && (s[p + 1] | 0x20) == 'l';
  };
  std::size_t p = from;
  for (; p + 10 <= limit; p += 8) {
    std::uint64_t w0, w1, w2;
    std::memcpy(&w0, s.data() + p, 8);
    std::memcpy(&w1, s.data() + p + 1, 8);
    std::memcpy(&w2, s.data() + p + 2, 8);
    const std::uint64_t hits =
        (MayEqual(w0, '<') & MayEqual(w2, '@')) | (MayBeBlank(w0) & MayEqual(w1 | kOnes * 0x20, 'l'));
    if (hits == 0) continue;
    for (std::size_t q = p; q < p + 8; ++q)
      if (at(q)) return q;
  }
  for (; p < limit; ++p)
    if (at(p)) return p;
  return limit;
}

}  // namespace

void LanguageEdits(std::string_view s, std::vector<LanguageEdit>& edits) {
  edits.clear();
  char family = 0;
  for (std::size_t i = 0; i < s.size();) {
    // A stretch of some thousands of characters at most between two stop questions.
    const std::size_t limit = std::min(s.size(), i + 65536), next = NextCandidate(s, i, limit);
    Tick(next - i + 1);
    i = next;
    if (i == limit) continue;
    if (s.compare(i, 3, "<%@") == 0) {
      const std::size_t blanks = i += 3;
      while (i < s.size() && IsBlank(s[i])) ++i;
      if (i > blanks) edits.push_back({blanks, i - blanks, blanks, 0});
      if (const std::size_t n = LanguageAttribute(s, i, &family)) {
        std::size_t end = i + n;
        while (end < s.size() && IsBlank(s[end])) ++end;
        edits.push_back({i, end - i, i, family});
        i = end;
      }
    } else if (const std::size_t n = LanguageAttribute(s, i + 1, &family)) {
      edits.push_back({i, 1 + n, i, family});
      i += 1 + n;
    } else {
      ++i;
    }
  }
}

void MarkLanguages(const Text& in, Text& out, std::vector<LanguageEdit>& edits) {
  out.bytes.clear(), out.at.clear(), out.flag.clear();
  out.wide = in.wide;
  out.bytes.reserve(in.bytes.size());
  out.flag.reserve(in.flag.size());
  LanguageEdits(in.bytes, edits);
  const std::string_view s = in.bytes;
  std::size_t i = 0;
  const auto keep = [&](std::size_t n) {
    const auto from = static_cast<std::ptrdiff_t>(i), to = static_cast<std::ptrdiff_t>(i + n);
    Tick(n);
    out.bytes.append(s.substr(i, n));
    if (!in.at.empty()) out.at.AppendFrom(in.at, i, n);
    out.flag.insert(out.flag.end(), in.flag.begin() + from, in.flag.begin() + to);
  };
  for (const LanguageEdit& e : edits) {
    keep(e.at - i);
    if (e.family) {
      out.bytes += kLanguageMark;
      out.bytes += e.family;
      if (!in.at.empty()) out.at.Append(2, in.at[e.from], 0);
      out.flag.insert(out.flag.end(), 2, 0);
    }
    i = e.at + e.length;
  }
  keep(s.size() - i);
}

std::size_t AddedDirective(std::string_view s, char& family) {
  for (std::string_view lang : {"VBScript", "JScript", "VBScript.Encode", "JScript.Encode"}) {
    const std::string line = "<%@ LANGUAGE = " + std::string(lang) + " %>";
    if (!s.starts_with(line)) continue;
    family = lang[0];
    if (s.substr(line.size()).starts_with("\r\n")) return line.size() + 2;
    if (s.substr(line.size()).starts_with("\n")) return line.size() + 1;
  }
  return 0;
}

// Read in pieces of a few megabytes straight into the room, the stop question asked
// between them; the room is the file's size and one byte more, so that a file that did not
// grow since it was looked at is read in one piece and its end found without a copy.
std::string ReadWhole(const fs::path& path, Workspace::Bytes& bytes) {
  std::ifstream in;
  in.rdbuf()->pubsetbuf(nullptr, 0);
  in.open(path, std::ios::binary);
  if (!in) return "open " + path.string() + ": " + std::strerror(errno);
  // Pieces small enough that the stop question comes between them on time also where
  // each page of fresh memory is dear (a piece's bytes are its steps).
  constexpr std::size_t kPiece = std::size_t(1) << 20;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0);
  bytes.size = 0;
  bytes.Reserve(static_cast<std::size_t>(std::max<std::streamoff>(size, 0)) + 1);
  while (in) {
    if (bytes.size == bytes.capacity) bytes.Reserve(bytes.capacity + std::max(bytes.capacity, kPiece));
    const std::size_t piece = std::min(kPiece, bytes.capacity - bytes.size);
    Tick(piece);
    in.read(bytes.data.get() + bytes.size, static_cast<std::streamsize>(piece));
    bytes.size += static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
  }
  if (in.bad()) return "read " + path.string() + ": " + std::strerror(errno);
  return {};
}

}  // namespace verify_text
