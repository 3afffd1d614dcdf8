#include "window_texts.h"

std::string VersionText(int major, int minor, int revision) {
  return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
}

std::string VersionText() { return VersionText(QW_VERSION_MAJOR, QW_VERSION_MINOR, QW_VERSION_PATCH); }

std::string GroupedNumber(long long n) {
  const bool negative = n < 0;
  std::string digits = std::to_string(negative ? -(n + 1) + 1ULL : static_cast<unsigned long long>(n));
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return negative ? "-" + out : out;
}

std::string Counted(long long count, const std::string& singular, const std::string& plural) {
  const std::string& noun = count == 1 ? singular : (plural.empty() ? singular + "s" : plural);
  return GroupedNumber(count) + " " + noun;
}
