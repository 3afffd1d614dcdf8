#pragma once
// In a re-deploy most of the walk's own time goes on looking at each destination file
// (its size and time, for the manifest to compare), while the other cores have nothing
// to do. DestinationLooks takes those looks ahead of the walk on a thread of its own, in
// the walk's order (a folder's files, then its subfolders), through each destination
// folder held open, and from the listings the count kept: what the walk itself would have
// asked, FolderHandle::PlainFileStamp of each listed file.
//
// The walk takes a folder's looks only once all of them are in; else it looks itself, so
// it never waits on this thread. The looks are taken once the destination is locked and
// its leftover temporary files removed, so one is older than the walk's own would be by
// at most the lead this thread has over the walk.
//
// Threads: the constructor starts the thread, the destructor stops and joins it; For and
// FolderLooks::At may be called from the walk's thread while it runs. The listings must
// not change while this lives.

#include "run/util/fs_ops.h"
#include "run/walk/tree_count.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

class DestinationLooks {
public:
  class FolderLooks {
  public:
    // The look at the file at `index` of the folder's listing; nullptr while the folder's
    // looks are not all in.
    const std::optional<FileStamp>* At(std::size_t index) const;

  private:
    friend class DestinationLooks;
    std::vector<std::optional<FileStamp>> stamps_;
    std::atomic<bool> done_{false};
  };

  // `source` and `destination`: the roots, as the walk joins names to them.
  DestinationLooks(const KeptListings& listings, std::filesystem::path source, std::filesystem::path destination);
  ~DestinationLooks();
  DestinationLooks(const DestinationLooks&) = delete;
  DestinationLooks& operator=(const DestinationLooks&) = delete;

  // The looks at the files of the source folder `source` (as the walk names it); nullptr
  // for a folder the count did not list.
  const FolderLooks* For(const std::filesystem::path& source) const;

private:
  void Take(const std::filesystem::path& source, const std::filesystem::path& destination);

  const KeptListings& listings_;
  std::unordered_map<std::filesystem::path::string_type, std::unique_ptr<FolderLooks>> folders_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
