#pragma once
// The files that server includes reach from a tree's ASP pages, found before the walk, so
// that the walk encodes each as what it is: part of the page that includes it.
//
// IIS pastes an included file into the page before any script runs, whatever the file's
// extension: an `inc/header.htm` holding <% %> is server script. So a file reached by
// an include from an ASP page (or from a file so reached, in turn) that holds server
// script is encoded as an include (/e asp /xl) even when its extension gives it another
// kind; the walk asks ServerScriptIncluder.
//
// The pages are read once here, by as many threads as the run has workers, and what
// their directives say is kept for the include audit, which then reads only what it
// finds anew. A target is looked up in the listings of the folders on its way (letter
// case ignored where the exact name is not there, as IIS would find it); only regular
// files are read.

#include "run/util/fs_ops.h"
#include "run/includes/include_directives.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class IncludeReach {
public:
  // `pages`: the ASP pages (relative, '/'-separated, as the walk names them) in the
  // walk's order.
  void Find(const std::filesystem::path& root, const std::vector<std::string>& pages, int threads);

  // The file that first includes `relative` when `relative` is reached by an include and
  // holds server script; else nullptr. Letter case ignored.
  const std::string* ServerScriptIncluder(const std::string& relative) const;
  // The directives of a file read by Find, or nullptr.
  const std::vector<IncludeDirective>* Directives(const std::string& relative) const;

  std::size_t filesRead = 0;

private:
  // The relative name of the regular file `resolved` names, exactly or but for letter case.
  std::optional<std::string> Locate(const std::filesystem::path& root, const std::string& resolved);

  std::unordered_map<std::string, std::vector<IncludeDirective>> directives_;
  std::unordered_map<std::string, std::string> includers_;  // case-folded target -> includer
  std::unordered_map<std::string, std::string> firstIncluder_;  // while finding: of every target
  std::unordered_map<std::string, std::vector<FolderEntry>> listings_;  // by folder, as read
};

// The bytes of `path`, read in large pieces; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);
