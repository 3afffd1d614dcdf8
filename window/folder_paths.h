#pragma once
// The folders the pickers show and take, apart from any toolkit: paths as UTF-8 text with
// native separators and no trailing separator except at a root ("/", "C:\"); how a typed,
// pasted, dropped or command-line text names a folder; whether a folder can be opened;
// what a folder list shows.

#include <string>
#include <vector>

enum class FolderAccess {
  Ok,           // the folder exists and can be listed
  Unavailable,  // nothing there (or not a folder): a drive without a medium, a volume gone
  Denied,       // there, but it cannot be listed
};
FolderAccess CheckFolder(const std::string& path);

// `path` in the pickers' form: native separators, no "." or "..", no doubled or trailing
// separator except at a root. Relative paths stay relative.
std::string CleanFolderPath(const std::string& path);
// The folder above `path`; `path` itself at a root.
std::string ParentFolder(const std::string& path);
// The last element of `path`, or the root itself.
std::string FolderName(const std::string& path);
bool IsAbsoluteFolder(const std::string& path);
// `dir` ending in one separator: "C:\Tools" gives "C:\Tools\", "C:\" stays.
std::string WithTrailingSeparator(const std::string& dir);

// The folder `text` names, read as a person types or pastes it, relative to `base`:
// blanks around it and quotes around it are dropped, a file:// URL is taken as its path,
// a leading ~ is `home`, environment variables are expanded (%NAME% on Windows, $NAME
// and ${NAME} elsewhere), UNC paths are kept. Empty for an empty text.
std::string TypedFolder(const std::string& text, const std::string& base, const std::string& home);
// The user's home folder (HOME, USERPROFILE).
std::string HomeFolder();
// `path` when it is a folder, else the nearest folder above it that exists; `fallback`
// when none does.
std::string NearestFolder(const std::string& path, const std::string& fallback);

struct FolderListing {
  std::vector<std::string> ancestors;  // from the root down to the folder itself
  std::vector<std::string> children;   // folders directly inside it, by name ignoring case
};
FolderListing ListFolder(const std::string& path);

// The root of the volume that holds `path` (a drive's root on Windows, the mount point
// elsewhere); what the drive list shows for it.
std::string VolumeRootOf(const std::string& path);
