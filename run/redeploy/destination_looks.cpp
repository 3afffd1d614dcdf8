#include "run/redeploy/destination_looks.h"

#include "run/util/native_path.h"

namespace fs = std::filesystem;

const std::optional<FileStamp>* DestinationLooks::FolderLooks::At(std::size_t index) const {
  if (!done_.load(std::memory_order_acquire) || index >= stamps_.size()) return nullptr;
  return &stamps_[index];
}

DestinationLooks::DestinationLooks(const KeptListings& listings, fs::path source, fs::path destination)
    : listings_(listings) {
  // Every folder's place is made before the thread starts: the map does not change after.
  for (const auto& [folder, entries] : listings_) {
    auto looks = std::make_unique<FolderLooks>();
    looks->stamps_.resize(entries.size());
    folders_.emplace(folder, std::move(looks));
  }
  thread_ = std::thread([this, source = std::move(source), destination = std::move(destination)] {
    Take(source, destination);
  });
}

DestinationLooks::~DestinationLooks() {
  stop_.store(true, std::memory_order_relaxed);
  thread_.join();
}

const DestinationLooks::FolderLooks* DestinationLooks::For(const fs::path& source) const {
  const auto it = folders_.find(source.native());
  return it == folders_.end() ? nullptr : it->second.get();
}

void DestinationLooks::Take(const fs::path& source, const fs::path& destination) {
  const auto listed = listings_.find(source.native());
  if (listed == listings_.end()) return;  // not listed by the count: the walk lists it
  const std::vector<FolderEntry>& entries = listed->second;
  FolderLooks& looks = *folders_.at(source.native());
  {
    const FolderHandle folder(destination);
    const fs::path byName;  // with the folder held open, a look goes by the name alone
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (stop_.load(std::memory_order_relaxed)) return;
      const FolderEntry& e = entries[i];
      if (e.type != FolderEntry::Type::File) continue;
      looks.stamps_[i] = folder.PlainFileStamp(folder.IsOpen() ? byName : JoinPath(destination, e.name), e.name);
    }
  }
  looks.done_.store(true, std::memory_order_release);
  for (const FolderEntry& e : entries) {
    if (stop_.load(std::memory_order_relaxed)) return;
    if (e.type == FolderEntry::Type::Folder) Take(JoinPath(source, e.name), JoinPath(destination, e.name));
  }
}
