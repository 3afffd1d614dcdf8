#pragma once
// The texts the check of an encoded page (verify.h) compares, and the room it builds them
// in: the source's text, the output's decoded, both with the script languages they name
// marked. Internal to verify.cpp.

#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace verify_text {

// Thrown out of a check when its stop question is answered yes.
struct Stopped {};

// While one is there, the check on this thread asks `stop` about every 50 ms (on this
// thread, where the window's events may be run too); an empty `stop` is never asked.
class StopQuestion {
public:
  explicit StopQuestion(const std::function<bool()>& stop);
  ~StopQuestion();
  StopQuestion(const StopQuestion&) = delete;
  StopQuestion& operator=(const StopQuestion&) = delete;

private:
  const std::function<bool()>* ask_;
  std::chrono::steady_clock::time_point last_;
  std::size_t count_ = 0;
  std::size_t calls_ = 0;
  friend void Tick(std::size_t);
};

// `steps` steps of work done (characters, tags); the clock is looked at each 8192 steps
// and each 64 calls (a step may be a whole block), and the stop question asked when 50 ms
// have gone by. Throws Stopped.
void Tick(std::size_t steps = 1);

// Where each character of a text came from in its file, kept as runs (a character per
// byte of a plain file is one run) rather than one number a character.
class Offsets {
public:
  void clear() { runs_.clear(), size_ = 0; }
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  // `n` characters more, from `offset` on, `step` bytes apart (0: all from the one place).
  void Append(std::size_t n, std::size_t offset, std::size_t step);
  // Characters [from, from + n) of `other`, from where they came.
  void AppendFrom(const Offsets& other, std::size_t from, std::size_t n);
  std::size_t operator[](std::size_t i) const;

private:
  struct Run {
    std::size_t index, offset, step;  // from character `index` on, up to the next run's
  };
  std::vector<Run>::const_iterator RunOf(std::size_t i) const;
  std::vector<Run> runs_;
  std::size_t size_ = 0;
};

// Text set for comparison: one byte per character of ASCII and, for each byte kept, the
// offset in the file it came from (the source only) and a flag (in the source: script that must be
// encoded; in the decoded output: read from an encoded block). UTF-16 units outside
// ASCII become "\x01" and three bytes from 0x80 up, so that no such unit reads as markup
// and two texts compare equal exactly when their units do.
struct Text {
  std::string bytes;
  Offsets at;
  std::vector<char> flag;
  bool wide = false;
};

// Where a text compared differs from the text read: the blanks after "<%@" left out, and
// each script LANGUAGE attribute (the one blank before it, or the blanks after it in a
// directive, with it) a mark of its family: the places where an encoder adds or renames a
// language. Characters [at, at + length) of the text read give way to the mark of
// `family`, or to nothing when it is 0; `from`: the character whose offset the mark has.
struct LanguageEdit {
  std::size_t at = 0, length = 0, from = 0;
  char family = 0;
};

// What one check works in, kept by each thread from one file to the next, so that a run
// of many pages does not take its memory from the system and give it back for every page
// (each page would then pay for the pages of memory touched anew). A large page's room is
// let go after it (Workspace::Lease).
struct Workspace {
  Text source, output, a, b;  // the source's text, the output's decoded, both with languages marked
  std::vector<LanguageEdit> edits, outputEdits;
  std::vector<std::pair<std::size_t, std::size_t>> regions, blocks;  // the quick pass's (verify_quick.h)
  std::string plain;          // one block's plain text
  std::u16string plain16;
  // A file's bytes, read without the room being cleared first.
  struct Bytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0, capacity = 0;
    void Reserve(std::size_t n) {
      if (n <= capacity) return;
      auto more = std::make_unique_for_overwrite<char[]>(n);
      if (size) std::memcpy(more.get(), data.get(), size);
      data = std::move(more);
      capacity = n;
    }
    std::string_view View() const { return {data.get(), size}; }
  } original, encoded;
  bool busy = false;

  // The thread's workspace, or a fresh one for a check inside a check.
  class Lease {
  public:
    Lease();
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Workspace& operator*() const { return w_; }
    Workspace* operator->() const { return &w_; }

  private:
    std::unique_ptr<Workspace> own_;
    Workspace& w_;
  };
};

// The output decoded, each character flagged when it came from an encoded block.
struct Decoded {
  Text& text;  // the workspace's output
  std::size_t blocks = 0, damaged = 0;
};

// A file's text, every character with its offset in the file, none flagged.
void TextOf(std::string_view file, Text& t);

// The output with each well-formed block replaced by its plain text, flagged.
Decoded DecodeOutput(std::string_view file, Workspace& w);

// A script LANGUAGE attribute, in the text compared, is this mark and the language's
// family: the encoder may add one or rename it (`javascript` to `JScript.Encode`), never
// change its family.
inline constexpr char kLanguageMark = '\x02';

// The edits of `s`, in order, into `edits`.
void LanguageEdits(std::string_view s, std::vector<LanguageEdit>& edits);

// `in` with its edits made (`edits`: room to find them in).
void MarkLanguages(const Text& in, Text& out, std::vector<LanguageEdit>& edits);

// The length of the "<%@ LANGUAGE = VBScript.Encode %>" line an encoder puts at the top
// of an ASP page that has no directive (ScriptScan::directive), with its line break, when
// `s` starts with one; else 0. `family`: its language's.
std::size_t AddedDirective(std::string_view s, char& family);

// The whole file into `bytes`; an empty text, or what failed with the system's reason.
std::string ReadWhole(const std::filesystem::path& path, Workspace::Bytes& bytes);

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool IsSpace(char c) { return IsBlank(c) || c == '\r' || c == '\n'; }

}  // namespace verify_text
