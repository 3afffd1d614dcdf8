#include "start_checks.h"

#include "folder_paths.h"
#include "run/util/native_path.h"
#include "run/walk/tree_count.h"
#include "window_texts.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

std::string DestinationWriteProblem(const std::string& folder) {
  const std::string existing = NearestFolder(folder, "");
  if (existing.empty()) return "no folder above it exists";
  std::random_device random;
  std::error_code ec;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const fs::path probe = ToNativePath(existing) / ToNativePath(".quillward-write-test-" + std::to_string(random()));
    if (fs::create_directory(probe, ec)) {
      fs::remove(probe, ec);
      return {};
    }
    if (ec) return ec.message();
  }
  return {};
}

long long ScriptFilesIn(const std::string& source, const RunSettings& settings) {
  RunSettings every = settings;
  every.EncodeAsp = every.EncodeHtml = every.EncodeJs = every.EncodeVbs = true;
  return CountTree(ToNativePath(source), every, [](long long) { return false; }).toEncode;
}

MessageSpec NothingToEncodeQuestion(long long scripts) {
  MessageSpec question;
  question.text = "Nothing is set to be encoded: " + Counted(scripts, "script file") +
                  (scripts == 1 ? " would be copied as it is." : " would be copied as they are.");
  question.title = kEncodeWebsiteTitle;
  question.icon = MessageIcon::Warning;
  question.buttons = {"&Options", "&Copy anyway", "Cancel"};
  question.defaultButton = 0;
  question.cancel = 2;
  return question;
}

std::string SaidRight(std::string text) {
  for (size_t at = text.find("can not"); at != std::string::npos; at = text.find("can not", at)) {
    text.replace(at, 7, "cannot");
  }
  return text;
}
