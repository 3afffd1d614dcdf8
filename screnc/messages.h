// The classic tool's messages, word for word, and where they go: each on stdout after an
// extra line break, none at all with /s. The system call behind a file error goes to
// stderr on its own line, also silenced by /s.
#pragma once

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
  explicit Console(bool silent) : silent_(silent) {}
  void say(Msg id, std::string_view arg = {}) const;
  // A usage error: the usage line, then the message.
  void usage(Msg id, std::string_view arg = {}) const;
  void detail(const std::string& why) const;

 private:
  bool silent_;
};

}  // namespace screnc
