#include "run/util/json_writer.h"

#include "run/util/text.h"

#include <cmath>
#include <cstdio>

std::string JsonQuoted(std::string_view bytes) {
  const std::string utf8 = ValidUtf8(bytes);
  std::string out = "\"";
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = 0;
    std::size_t length = 1;
    DecodeUtf8(utf8, at, c, length);  // valid by now
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out.append(utf8, at, length);
        }
    }
    at += length;
  }
  return out + "\"";
}

void JsonWriter::NewLine() {
  out_ += '\n';
  out_.append(2 * filled_.size(), ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (filled_.empty()) return;
  if (filled_.back()) out_ += ',';
  filled_.back() = true;
  NewLine();
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  out_ += JsonQuoted(name) + ": ";
  afterKey_ = true;
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ += bracket;
  filled_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool filled = filled_.back();
  filled_.pop_back();
  if (filled) NewLine();
  out_ += bracket;
}

void JsonWriter::BeginObject() { Open('{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  out_ += JsonQuoted(utf8);
}

void JsonWriter::Integer(std::int64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::Unsigned(std::uint64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::Fixed(double value, int decimals) {
  if (!std::isfinite(value)) return Null();  // JSON has no infinities
  BeforeValue();
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  for (char* c = text; *c; ++c) {
    if (*c == ',') *c = '.';  // a locale's decimal comma
  }
  out_ += text;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
}

std::string JsonWriter::Text() const { return filled_.empty() ? out_ + "\n" : out_; }
