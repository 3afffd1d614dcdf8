// Type names where there is no file-type registry: the table of the names Windows gives.
#include "run/walk/file_kind.h"

std::string TypeDescription(const std::string& fileName) {
  return TableTypeDescription(LastExtension(fileName));
}
