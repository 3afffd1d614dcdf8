#pragma once
// The INI text of the settings file, in the dialect Qt's settings class writes and reads
// (so that files written by earlier builds, and by hand, read as they did): "[Section]"
// lines, "key=value" lines, comments from ";" on, values with C-style escapes and in
// double quotes where they hold ";", "," or "=" or begin or end with a blank, keys and
// section names with "%XX" escapes, "[General]" for keys outside any section.
//
// A document is kept as the text it was read from and changed in place: a write
// replaces one line, so comments, other sections and unknown keys stay as they were.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniDocument {
public:
  explicit IniDocument(std::string text = {});

  // False when a section's "[" is not closed (the rest of the file is still read), the one
  // fault Qt's reader refused a file for; other lines that are not "key=value" are
  // passed over, as it passed over them.
  bool WellFormed() const { return wellFormed_; }

  // The value of `key` in `section`, both matched without regard to case; where several
  // spellings are stored, the exact one wins. Nothing when the key is absent.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  // Stores `value` under `key` in `section`: the line of the key is replaced, lines of
  // other spellings of it are removed; a new key goes to the end of its section, a new
  // section to the end of the file.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Text() const { return text_; }

private:
  struct Line {
    enum class Kind { Section, Entry, Bad } kind;
    std::size_t begin, end;  // the line's text, without a comment or the line break
    std::size_t next;        // where the next line starts: after the line break
    std::string name;        // section name or key, unescaped
    std::string section;     // an entry's section, unescaped ("" outside any)
    std::size_t equals = 0;  // an entry's "="
  };

  void Parse();
  // Indices of the entries of `key` in `section`, in file order.
  std::vector<std::size_t> EntriesOf(std::string_view section, std::string_view key) const;
  std::string LineBreak() const;

  std::string text_;
  std::vector<Line> lines_;
  bool wellFormed_ = true;
};

// A value as it is written after "key=", and back.
std::string IniEscapedValue(std::string_view value);
std::string IniUnescapedValue(std::string_view raw);

// A key or section name as it is written, and back.
std::string IniEscapedKey(std::string_view key);
std::string IniUnescapedKey(std::string_view raw);
