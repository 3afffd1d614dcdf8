#pragma once
// The walk over one run's source tree: EncodeFolder and what it does to each file.
//
// Depth first and pre-order: a folder's "Processing ... " entry, its files in name order
// (each copied or encoded, then logged as "<path>" or "<path> - <reason>"), then each
// subfolder, whose destination folder is made before anything inside it. After every
// file the log is shown and scrolled, progress reported, events run, and a stop request
// ends the walk.

#include "basShell.h"
#include "fs_ops.h"
#include "run_host.h"
#include "run_settings.h"

#include <filesystem>
#include <map>
#include <string>

class Walk {
public:
  Walk(RunHost& host, const RunSettings& settings, const WaitControl& limits,
       std::optional<FileId> destinationRoot, long long total);

  void EncodeFolder(const std::filesystem::path& source, const std::filesystem::path& destination);

  bool stopped = false;
  long long files = 0;
  long long failedFiles = 0;
  long long failedFolders = 0;
  // Files that hold script but were copied plain because their kind is off, by the
  // Options key that is off.
  std::map<std::string, long long> leftPlain;

private:
  std::string ProcessFile(const FolderEntry& entry, const std::filesystem::path& source,
                          const std::filesystem::path& destination);
  void FileDone(const std::string& entry);
  void FolderFailed(const std::string& entry);
  void EnterSubfolders(const std::vector<FolderEntry>& entries, const std::filesystem::path& source,
                       const std::filesystem::path& destination);

  RunHost& host_;
  const RunSettings& settings_;
  const std::filesystem::path appDir_;
  WaitControl control_;
  std::optional<FileId> destinationRoot_;
  long long total_;
};

// Name order ignoring case (case-folded names compared by code point), ties broken by the
// exact name, so that runs and logs are the same on every machine whatever order the
// system lists a folder in.
void SortByName(std::vector<FolderEntry>& entries);

// A log entry: the path as shown, then " - " and the reason when there is one.
std::string LogEntry(const std::filesystem::path& path, const std::string& reason = {});

inline const std::string kProcessing = "Processing ... ";
