#include "run/walk/source_listing.h"

namespace fs = std::filesystem;

void SourceListing::Listed(const fs::path& folder, const std::vector<FolderEntry>& entries) {
  const auto [at, added] = folders_.try_emplace(folder.native());
  if (!added) return;  // marked unread before: that stands
  at->second.complete = true;
  at->second.names.reserve(entries.size());
  for (const FolderEntry& e : entries) at->second.names.emplace(e.name.native(), false);
}

void SourceListing::Excluded(const fs::path& folder, const fs::path& name) {
  const auto at = folders_.find(folder.native());
  if (at == folders_.end() || !at->second.complete) return;
  if (const auto entry = at->second.names.find(name.native()); entry != at->second.names.end()) entry->second = true;
}

void SourceListing::Unread(const fs::path& folder) {
  Folder& f = folders_[folder.native()];
  f.complete = false;
  f.names.clear();
}

const SourceListing::Folder* SourceListing::Find(const fs::path& folder) const {
  const auto at = folders_.find(folder.native());
  return at != folders_.end() ? &at->second : nullptr;
}
