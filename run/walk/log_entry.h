#pragma once
// How the run writes one entry into its log: the path as shown, then " - " and the
// reason when there is one. The walk, the removals and the dry run all log this way.

#include <filesystem>
#include <string>

std::string LogEntry(const std::filesystem::path& path, const std::string& reason = {});

// What a folder's entry starts with.
inline const std::string kProcessing = "Processing ... ";
// The reason logged for a leftover temporary file removed from the destination.
inline const std::string kRemovedTemporary = "removed, a temporary file left by an interrupted run";
