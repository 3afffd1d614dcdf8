// POSIX spellings of typed folders: file:// URLs and $VARIABLES.
#include "check.h"

#include "folder_paths.h"

#include <cstdlib>

TEST(urlsAndVariablesArePaths) {
  setenv("QW_TEST_SITE", "/srv/site", 1);
  unsetenv("QW_TEST_UNSET");
  struct Row {
    const char* typed;
    const char* expected;
  };
  const Row rows[] = {
      {"file:///srv/a%20b", "/srv/a b"},
      {"file://localhost/srv/x", "/srv/x"},
      {"$QW_TEST_SITE/www", "/srv/site/www"},
      {"${QW_TEST_SITE}", "/srv/site"},
      {"/srv/$QW_TEST_UNSET", "/srv/$QW_TEST_UNSET"},
      {"/a/./b/../c", "/a/c"},
      {"/", "/"},
  };
  for (const Row& r : rows) CHECK_EQ(TypedFolder(r.typed, "/base", "/home/u"), std::string(r.expected));
  CHECK_EQ(VolumeRootOf("/proc/self"), std::string("/proc"));
}
