// How typed, pasted and remembered text names a folder, and what a folder list shows,
// on a real folder tree.
#include "check.h"

#include "folder_paths.h"
#include "run/util/native_path.h"

#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Text(const fs::path& p) { return ToDisplayPath(p); }
const std::string kSep(1, static_cast<char>(fs::path::preferred_separator));

}  // namespace

TEST(typedTextNamesAFolder) {
  check::TempDir tmp;
  const std::string base = CleanFolderPath(Text(tmp.Path()));
  const std::string home = base + kSep + "home";
  struct Row {
    std::string typed;
    std::string expected;
  };
  const Row rows[] = {
      {"", ""},
      {"   ", ""},
      {"\"" + base + kSep + "a b\"", base + kSep + "a b"},
      {"'" + base + kSep + "x'", base + kSep + "x"},
      {"  " + base + kSep + "x" + kSep + "  ", base + kSep + "x"},
      {"sub", base + kSep + "sub"},
      {"sub" + kSep + ".." + kSep + "other", base + kSep + "other"},
      {"~", home},
      {"~" + kSep + "site", home + kSep + "site"},
      {base + kSep + kSep + "double" + kSep + kSep, base + kSep + "double"},
  };
  for (const Row& r : rows) CHECK_EQ(TypedFolder(r.typed, base, home), r.expected);
}

TEST(folderListShowsAncestorsAndChildrenByName) {
  check::TempDir tmp;
  for (const char* name : {"b", "A", "c", "a2"}) fs::create_directories(tmp.Path() / name);
  std::ofstream(tmp.Path() / "file.txt") << "x";
  const std::string base = CleanFolderPath(Text(tmp.Path()));
  const FolderListing listing = ListFolder(base);
  CHECK_EQ(listing.ancestors.back(), base);
  CHECK_EQ(listing.ancestors.front(), CleanFolderPath(Text(tmp.Path().root_path())));
  CHECK_EQ(listing.children.size(), size_t(4));
  if (listing.children.size() == 4) {
    CHECK_EQ(FolderName(listing.children[0]), std::string("A"));
    CHECK_EQ(FolderName(listing.children[1]), std::string("a2"));
    CHECK_EQ(FolderName(listing.children[3]), std::string("c"));
  }
}

TEST(nearestFolderAndAccess) {
  check::TempDir tmp;
  fs::create_directories(tmp.Path() / "kept");
  std::ofstream(tmp.Path() / "kept" / "file") << "x";
  const std::string kept = CleanFolderPath(Text(tmp.Path() / "kept"));
  CHECK_EQ(NearestFolder(kept + kSep + "gone" + kSep + "deeper", "fallback"), kept);
  CHECK_EQ(NearestFolder(kept, "fallback"), kept);
  CHECK_EQ(NearestFolder("", "fallback"), std::string("fallback"));
  CHECK(CheckFolder(kept) == FolderAccess::Ok);
  CHECK(CheckFolder(kept + kSep + "file") == FolderAccess::Unavailable);
  CHECK(CheckFolder(kept + kSep + "gone") == FolderAccess::Unavailable);
  CHECK_EQ(ParentFolder(kept), CleanFolderPath(Text(tmp.Path())));
  const std::string root = CleanFolderPath(Text(tmp.Path().root_path()));
  CHECK_EQ(ParentFolder(root), root);
  CHECK_EQ(WithTrailingSeparator(root), root);
  CHECK_EQ(WithTrailingSeparator(kept), kept + kSep);
}
