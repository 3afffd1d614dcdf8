// The classic tool's messages, word for word, and where they go: each on stdout after an
// extra line break, none at all with /s. A file that fails for a system reason also gets
// one line on stderr, with or without /s, so that a calling program can show why:
//   screnc: cannot write '/out/a.asp': No space left on device
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace screnc {

enum class Msg {
  Usage = 1,
  Unrecognized = 2,
  SameFile = 3,
  CannotRead = 4,
  CannotWrite = 5,
  BadFormat = 6,
  EncoderFailed = 9,
  NoExtension = 13,
  SpecialFile = 14,
  MissingSource = 15,
  MissingDestination = 16,
  Help = 17,
  Incomplete = 18,
};

// The text of a message, "%1" replaced by arg, ending with a line break.
std::string message_text(Msg id, std::string_view arg = {});

class Console {
 public:
  // With `capture`, what would go to stdout and stderr is appended there instead, in order.
  explicit Console(bool silent, std::string* capture = nullptr)
      : silent_(silent), capture_(capture) {}
  void say(Msg id, std::string_view arg = {}) const;
  // A usage error: the usage line, then the message.
  void usage(Msg id, std::string_view arg = {}) const;
  // "screnc: cannot read|write '<path>': <reason>" on stderr, even when silent.
  void system_failure(bool writing, std::string_view path, std::string_view reason) const;

 private:
  void put(std::FILE* stream, std::string_view text) const;

  bool silent_;
  std::string* capture_;
};

}  // namespace screnc
