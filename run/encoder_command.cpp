#include "encoder_command.h"

#include "basShell.h"
#include "paths.h"

namespace {

void Add(SwitchPart& part, const QString& text) {
  part.text += text;
  part.tokens += text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void AddLanguage(SwitchPart& part, const QString& language) {
  if (language.isEmpty()) return;
  part.text += QStringLiteral(" /l ") + language;
  part.tokens << QStringLiteral("/l") << language;
}

std::filesystem::path::string_type NativeText(const QString& text) {
  return ToNativePath(text).native();
}

}  // namespace

SwitchPart SwitchPartFor(FileKind kind, const RunSettings& s) {
  SwitchPart part;
  switch (kind) {
    case FileKind::Copy:
      break;
    case FileKind::EncodePlain:
      Add(part, QStringLiteral(" /s"));
      break;
    case FileKind::EncodeHtml:
      Add(part, QStringLiteral(" /s"));
      AddLanguage(part, s.HtmlLanguage);
      break;
    case FileKind::EncodeAspPage:
      Add(part, s.AspSwitch);
      Add(part, QStringLiteral(" /s"));
      AddLanguage(part, s.AspLanguage);
      break;
    case FileKind::EncodeAspByExtension:
      // Include files get no directive of their own: one would break every page that
      // includes them.
      Add(part, QStringLiteral(" /s /e asp /xl"));
      AddLanguage(part, s.AspLanguage);
      break;
  }
  return part;
}

EncoderCommand BuildEncoderCommand(FileKind kind, const QString& appDir, const RunSettings& s,
                                   const std::filesystem::path& source,
                                   const std::filesystem::path& destination) {
  const SwitchPart part = SwitchPartFor(kind, s);
  const QString quote = QStringLiteral("\"");
  EncoderCommand cmd;
  cmd.text = quote + appDir + EncoderFileName() + quote + part.text + QStringLiteral(" ") +
             quote + ToDisplayPath(source) + QStringLiteral("\" \"") +
             ToDisplayPath(destination) + quote;
  cmd.program = ToNativePath(appDir + EncoderFileName());
  for (const QString& token : part.tokens) cmd.arguments.push_back(NativeText(token));
  cmd.arguments.push_back(source.native());
  cmd.arguments.push_back(destination.native());
  return cmd;
}
