#include "batch_args.h"

std::vector<std::filesystem::path> NativeArguments(int argc, char** argv) {
  std::vector<std::filesystem::path> out;
  for (int i = 1; i < argc; ++i) out.emplace_back(std::string(argv[i]));  // bytes, unchanged
  return out;
}
