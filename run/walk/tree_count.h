#pragma once
// A quick count of a source tree before the walk: how many files there are (for the
// progress shown during the run) and how many of them will go through the encoder (so a
// missing encoder is found before anything is written), and which are ASP pages (for the
// include pass, include_reach.h). Lists folders as the walk will, in its order, without
// following links to folders, and reads no file.

#include "run/util/fs_ops.h"
#include "run/settings/run_settings.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct TreeCount {
  long long files = 0;
  long long toEncode = 0;
  bool stopped = false;  // `poll` asked to stop; the counts are partial
  // The files encoded as ASP pages or by extension, relative to the source ('/'-separated),
  // in the walk's order.
  std::vector<std::string> aspPages;
};

// `poll` is called now and then (about every 1,000 entries) with the files counted so
// far; returning true ends the count early.
TreeCount CountTree(const std::filesystem::path& source, const RunSettings& settings,
                    const std::function<bool(long long filesSoFar)>& poll);
