#pragma once
// A quick count of a source tree before the walk: how many files there are (for the
// progress shown during the run) and how many of them will go through the encoder (so a
// missing encoder is found before anything is written), and which are ASP pages (for the
// include pass, include_reach.h). Lists folders as the walk will, in its order, without
// following links to folders, and reads no file.
//
// The count can keep what it listed (`keep`) for the walk that follows, which then takes
// each folder's entries from it rather than list the folder again (walk.h): the run sees
// the tree as it was when counted. In a run that skips unchanged files the kept entries
// also carry each file's stamp, taken through the open folder as it is listed, for the
// include pass and the manifest (taken before any file is read, as those need). Folders the count could not list, or whose ignore file
// it could not read, are not kept; the walk lists those itself and says why they fail.

#include "run/util/fs_ops.h"
#include "run/settings/run_settings.h"

#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// Each folder's entries as listed and put in name order (SortByName), by the folder's
// native path as the walk makes it (the source joined with each folder's name): shown
// names may be alike where the names are not.
using KeptListings = std::unordered_map<std::filesystem::path::string_type, std::vector<FolderEntry>>;

struct TreeCount {
  long long files = 0;
  long long toEncode = 0;
  bool stopped = false;  // `poll` asked to stop; the counts are partial
  // The files encoded as ASP pages or by extension, relative to the source ('/'-separated),
  // in the walk's order.
  std::vector<std::string> aspPages;
  // With `keep` in a run that skips unchanged files, each of those pages' stamp as it was
  // listed (else none), in the same order.
  std::vector<std::optional<FileStamp>> aspStamps;
  KeptListings listings;  // with `keep`
};

// `poll` is called now and then (about every 1,000 entries) with the files counted so
// far; returning true ends the count early.
TreeCount CountTree(const std::filesystem::path& source, const RunSettings& settings,
                    const std::function<bool(long long filesSoFar)>& poll, bool keep = false);
