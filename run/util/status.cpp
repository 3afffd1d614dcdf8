#include "run/util/status.h"

#include "run/util/native_path.h"
#include "run/util/text.h"

std::string AsReason(std::string_view message) {
  std::string text = Trimmed(ValidUtf8(message));
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
  return text;
}

Status Status::FromError(const std::error_code& error, const char* call,
                         const std::filesystem::path& path) {
  return Fail(ErrorText(error) + " (" + call + " " + ToDisplayPath(path) + ")");
}
