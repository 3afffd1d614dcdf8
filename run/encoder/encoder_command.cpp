#include "run/encoder/encoder_command.h"

#include "run/encoder/basShell.h"
#include "run/util/native_path.h"
#include "run/util/text.h"

#include <type_traits>

namespace {

void Add(SwitchPart& part, const std::string& text) {
  part.text += text;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t end = std::min(text.find(' ', i), text.size());
    if (end > i) part.tokens.push_back(text.substr(i, end - i));
    i = end + 1;
  }
}

void AddLanguage(SwitchPart& part, const std::string& language) {
  if (language.empty()) return;
  part.text.append(" /l ").append(language);
  part.tokens.push_back("/l");
  part.tokens.push_back(language);
}

// A native string as the bytes a serving encoder is sent: a POSIX name unchanged (it
// need not be UTF-8), a Windows one as UTF-8. The other branch is never built.
template <typename Native>
std::string RequestBytes(const Native& native) {
  if constexpr (std::is_same_v<typename Native::value_type, char>) {
    return native;
  } else {
    return Utf8FromWide(native);
  }
}

}  // namespace

SwitchPart SwitchPartFor(FileKind kind, const RunSettings& s) {
  SwitchPart part;
  switch (kind) {
    case FileKind::Copy:
      break;
    case FileKind::EncodePlain:
      Add(part, " /s");
      break;
    case FileKind::EncodeHtml:
      Add(part, " /s");
      AddLanguage(part, s.HtmlLanguage);
      break;
    case FileKind::EncodeAspPage:
      Add(part, s.AspSwitch);
      Add(part, " /s");
      AddLanguage(part, s.AspLanguage);
      break;
    case FileKind::EncodeAspByExtension:
      // Include files get no directive of their own: one would break every page that
      // includes them.
      Add(part, " /s /e asp /xl");
      AddLanguage(part, s.AspLanguage);
      break;
  }
  return part;
}

SwitchPart ClientPassSwitchPart(const RunSettings& s) {
  SwitchPart part;
  Add(part, " /s /e html");
  AddLanguage(part, s.HtmlLanguage);
  return part;
}

EncoderCommand BuildEncoderCommand(FileKind kind, const std::filesystem::path& appDir, const RunSettings& s,
                                   const std::filesystem::path& source,
                                   const std::filesystem::path& destination) {
  return BuildEncoderCommand(SwitchPartFor(kind, s), appDir, source, destination);
}

EncoderCommand BuildEncoderCommand(const SwitchPart& part, const std::filesystem::path& appDir,
                                   const std::filesystem::path& source,
                                   const std::filesystem::path& destination) {
  EncoderCommand cmd;
  cmd.program = appDir / ToNativePath(EncoderFileName());
  // Appended piece by piece: text + a string made on the spot trips a false warning of
  // GCC 12 (-Wrestrict) in the MinGW build.
  cmd.text.assign(1, '"');
  cmd.text.append(ToDisplayPath(cmd.program)).append("\"").append(part.text).append(" \"");
  cmd.text.append(ToDisplayPath(source)).append("\" \"").append(ToDisplayPath(destination)).append("\"");
  const auto quoted = [](const std::filesystem::path& p) {
    const std::filesystem::path::string_type quote = NativeOfText("\"");
    return std::filesystem::path::string_type(quote).append(std::filesystem::path(p).make_preferred().native()).append(quote);
  };
  cmd.nativeText = quoted(cmd.program);
  cmd.nativeText.append(NativeOfText(part.text)).append(NativeOfText(" ")).append(quoted(source));
  cmd.nativeText.append(NativeOfText(" ")).append(quoted(destination));
  for (const std::string& token : part.tokens) cmd.arguments.push_back(NativeOfText(token));
  cmd.arguments.push_back(source.native());
  cmd.arguments.push_back(destination.native());
  cmd.requestArguments = part.tokens;
  cmd.requestArguments.push_back(RequestBytes(std::filesystem::path(source).make_preferred().native()));
  cmd.requestArguments.push_back(RequestBytes(std::filesystem::path(destination).make_preferred().native()));
  return cmd;
}
