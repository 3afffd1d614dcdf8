#pragma once
// What a walk read of the source tree: for each folder it listed in full, the names it
// found there and which of them the ignore rules left out; and which folders it could not
// read in full. Removal from the destination (mirror_delete.h) goes by this alone: an
// entry is gone only when the walk listed its source folder in full and did not find it,
// never because a name could not be reached afterwards or because the manifest has it.
//
// A folder counts as not read in full when listing it failed, when it was not entered
// (a link to a folder, the destination met again, a destination folder that could not
// be made), or when its ignore file could not be read: the walk marks it so whenever it
// records a folder failure. Such a marking sticks.
//
// Keys are the source paths as the walk builds them (the root as given, then joined
// names), so the removal finds a folder by the same joins.

#include "run/util/fs_ops.h"

#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

class SourceListing {
public:
  using Name = std::filesystem::path::string_type;

  struct Folder {
    bool complete = false;
    std::unordered_map<Name, bool> names;  // each entry's name, and whether it was left out
  };

  // `folder` was listed in full: these are its entries.
  void Listed(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries);
  // The entry `name` of `folder` was left out by the ignore rules.
  void Excluded(const std::filesystem::path& folder, const std::filesystem::path& name);
  // `folder` could not be read in full: nothing under its place may be taken for gone.
  void Unread(const std::filesystem::path& folder);

  // What the walk knows of `folder` (Folder::complete: read in full); nothing when the walk
  // never took it for a folder (it is a file in the source, or was never reached).
  const Folder* Find(const std::filesystem::path& folder) const;

private:
  std::unordered_map<Name, Folder> folders_;
};
