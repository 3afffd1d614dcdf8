#pragma once
// A small JSON writer for the run's report: objects, arrays, strings, numbers, true,
// false and null, two spaces of indent a level. Strings are UTF-8; bytes that are not
// UTF-8 become U+FFFD (the caller keeps the raw bytes apart when it needs them, see
// report.h). Control characters, '"', '\\', DEL and U+2028/U+2029 (line ends to a
// JavaScript parser) are escaped, every other character written as it is.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The member name of the next value in an object.
  void Key(std::string_view name);

  void String(std::string_view utf8);
  void Integer(std::int64_t value);
  void Unsigned(std::uint64_t value);
  // A number with `decimals` digits after the point, as C writes it whatever the locale.
  void Fixed(double value, int decimals);
  void Bool(bool value);
  void Null();

  // The document so far, with a line end after the last value once it is whole.
  std::string Text() const;

private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void NewLine();

  std::string out_;
  // Per open level: whether it holds a value yet.
  std::vector<bool> filled_;
  bool afterKey_ = false;
};

// `utf8` as a JSON string literal, quotes included.
std::string JsonQuoted(std::string_view utf8);
