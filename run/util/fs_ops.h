#pragma once
// The file operations of a run, with failures as values. One implementation per platform
// (fs_ops_posix.cpp, fs_ops_win.cpp).

#include "run/util/status.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What identifies one version of a file: any write or replacement changes it.
struct FileStamp {
  unsigned long long device = 0, inode = 0, size = 0;
  long long modifiedNs = 0, changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

struct FolderEntry {
  enum class Type {
    File,        // a regular file, or a link to one (read through the link)
    Folder,      // a real folder (links to folders are never followed)
    FolderLink,  // a link to a folder: not followed, so a walk cannot loop
    Other,       // FIFO, socket, device, broken link: never opened
  };
  std::filesystem::path name;  // one path element, native bytes
  std::string displayName;     // UTF-8: for sorting, classification and the log
  Type type = Type::Other;
  std::string reason;          // why an Other entry is skipped
  // What StampOf would say of a File entry, where the listing carries it (on Windows, for
  // an entry that is no link); nothing elsewhere.
  std::optional<FileStamp> stamp;
};

// The entries of `folder` ("." and ".." left out), in the order the system lists them.
// With `stamps`, every File entry carries its stamp (looked at through the open folder
// where the listing does not carry it); one that cannot be looked at carries none.
Status ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries, bool stamps = false);

// Creates the folder `path`. One that already exists is fine (`existed` tells); a file in
// its place is not. A link in its place is never followed: it is removed and a real
// folder made, so that nothing is written through it.
Status MakeFolder(const std::filesystem::path& path, bool* existed = nullptr);

// Removes `path` when it is a link (to anything), a FIFO, a socket or a device: such an
// entry in the destination is replaced by a real file, never written through. Nothing
// there, a real file or a folder is fine.
Status RemoveIfLink(const std::filesystem::path& path);

// Removes the file `path`; one that is not there is fine.
Status RemoveFile(const std::filesystem::path& path);

// Removes the name `path` and never what it may lead to: a new empty file is renamed over
// it, then removed. For a destination that may be another name of a file that must stay
// (a hard link, or a link the system does not show as one, as Wine shows the host's).
Status RemoveName(const std::filesystem::path& path);

// Renames `from` to `to`, replacing the name `to` if it is there.
Status RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes from `folder` the temporary files that an earlier, interrupted run (or encoder)
// left there (our ".qw-<pid>-<n>.tmp" may also be the folder of a second pass, removed
// with what it holds): recognisable by name, and only those of a process that no longer runs, or
// of `endedRun`, a run known to have ended (its journal names the folder; 0: none).
// Returns the paths removed, for the log: a file of the user's that merely looks like one
// is never removed without a word.
std::vector<std::filesystem::path> RemoveLeftoverTemporaries(const std::filesystem::path& folder,
                                                             unsigned long endedRun = 0);

// The whole of the regular file `path` (a link is followed) in `bytes`. Anything else
// there (a folder, a FIFO, a device) is refused as "not a regular file" without a read,
// so that nothing can block or run away. A missing file is a failure like any other.
Status ReadRegularFile(const std::filesystem::path& path, std::string& bytes);

// Creates `path` and any missing parents; `existed` tells whether `path` was there.
Status MakeFolders(const std::filesystem::path& path, bool* existed = nullptr);

// Whether `path` is an existing folder (links followed).
bool IsFolder(const std::filesystem::path& path);
// Whether anything exists at `path` (links followed).
bool Exists(const std::filesystem::path& path);

// What identifies a file or folder whatever the path to it (links, bind mounts, letter
// case): the device and inode, or the volume serial and file index.
struct FileId {
  unsigned long long device = 0, index = 0;
  bool operator==(const FileId&) const = default;
};
// Links followed; nothing when `path` cannot be reached.
std::optional<FileId> IdentityOf(const std::filesystem::path& path);

// Whether the process `pid` still runs (a leftover temporary file of a live one is kept).
bool ProcessRuns(unsigned long pid);
// This process's id.
unsigned long CurrentProcessId();

// Creates the file `path` holding `content`, only if nothing is there yet (a lock).
Status CreateExclusive(const std::filesystem::path& path, std::string_view content);
// Puts a file holding `content` in place of `path` at once: written whole to a new
// temporary file beside it (through a handle no child process inherits), then renamed
// over it. On failure the temporary file is removed and `path` is as it was.
Status ReplaceFileWith(const std::filesystem::path& path, std::string_view content);

// Copies the regular file `from` to `to`, replacing an existing `to`. The bytes go to a
// temporary file in `to`'s folder that is renamed into place only when complete, so a
// failure never leaves a half-written `to`; the temporary file is removed on failure.
// With `sourceSha`, also the hex SHA-256 of the source's bytes (taken from the bytes as
// they are copied where the platform allows; empty when the copy failed).
Status CopyFileAtomic(const std::filesystem::path& from, const std::filesystem::path& to,
                      std::string* sourceSha = nullptr);

// Gives `to` the modification time of `from`, as a copy has it.
Status CopyModifiedTime(const std::filesystem::path& from, const std::filesystem::path& to);
// Gives `to` the modification time `from` holds (a stamp this platform's StampOf made).
Status SetModifiedTime(const std::filesystem::path& to, const FileStamp& from);

// Removes the folder `path` when it is empty; true when it did.
bool RemoveEmptyFolder(const std::filesystem::path& path);

// Whether there is anything named `path` (a link, even a broken one, counts; links are
// not followed).
bool NameExists(const std::filesystem::path& path);

// Whether `path` is itself a link (a symbolic link, or on Windows any reparse point).
bool IsLink(const std::filesystem::path& path);

std::optional<FileStamp> StampOf(const std::filesystem::path& path);

// A folder held open, so that the entries in it are looked at by name, without the system
// walking the whole path again for each. Where it cannot be opened (or on Windows, where
// a look by path costs the same) each look goes by the entry's full path.
class FolderHandle {
public:
  explicit FolderHandle(const std::filesystem::path& folder);
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // StampOf(`path`), `path` being this folder's entry `name`: links followed.
  std::optional<FileStamp> Stamp(const std::filesystem::path& path, const std::filesystem::path& name) const;
  // The stamp of the entry itself when it is neither a link nor anything but a regular
  // file; nothing when it is, or is not there.
  std::optional<FileStamp> PlainFileStamp(const std::filesystem::path& path, const std::filesystem::path& name) const;
  // Whether the folder is held open (looks go by `name`; `path` is not used).
  bool IsOpen() const { return handle_ >= 0; }

private:
  std::intptr_t handle_ = -1;
};

// The name of a copy's temporary file: ".qw-<pid>-<n>.tmp".
std::string TemporaryName(unsigned long pid, unsigned n);
// A new temporary name of ours in the folder of `path`.
std::filesystem::path TemporaryBeside(const std::filesystem::path& path);
// Whether `name` is a temporary file of ours (".qw-<pid>-<n>.tmp") or of the encoder
// (".<name>.screnc-<pid>-<hex>-<n>", possibly with "-XXXXXX" after it, or
// ".screnc-<pid>-<hex>-<n>..."); `pid` is the process that made it.
bool IsLeftoverTemporaryName(std::string_view name, unsigned long& pid);
// Whether `name` is a temporary file of ours (".qw-<pid>-<n>.tmp") made by the process `pid`.
bool IsOwnTemporaryOf(std::string_view name, unsigned long pid);

// `path` made absolute by the platform's rules, "." and ".." resolved, no separator at
// the end but of a root; on Windows also without a "\\?\" prefix, so that every spelling
// of a folder reads alike.
std::filesystem::path PlainPath(const std::filesystem::path& path);
// PlainPath with links resolved as far as the path exists (POSIX). On Windows, where
// identity sees through links and junctions, PlainPath.
std::filesystem::path RealPath(const std::filesystem::path& path);
// The folder that holds `path` (a PlainPath), or an empty path when it is a root ("/",
// "C:\", "\\server\share").
std::filesystem::path ParentFolder(const std::filesystem::path& path);
// `path` made absolute by the platform's rules, spelled as given otherwise (a "\\?\"
// prefix kept): what the encoder is given.
std::filesystem::path AbsolutePath(const std::filesystem::path& path);

// Whether names on this platform's file systems are compared without regard to case.
bool FileSystemIgnoresCase();

// A file open for appending that no child process inherits (an encoder started meanwhile
// would otherwise hold it open, and on Windows keep it from being replaced). Each Append
// is handed to the system before it returns.
class AppendingFile {
public:
  AppendingFile() = default;
  ~AppendingFile() { Close(); }
  AppendingFile(const AppendingFile&) = delete;
  AppendingFile& operator=(const AppendingFile&) = delete;

  // Opens `path`, made when it is not there.
  Status Open(const std::filesystem::path& path);
  Status Append(std::string_view bytes);
  void Close();
  bool IsOpen() const { return handle_ != -1; }

private:
  std::intptr_t handle_ = -1;
  std::filesystem::path path_;
};
