#pragma once
// The command line of quillward-batch:
//   quillward-batch [--set KEY=VALUE]... [--timeout SECONDS] [--jobs N] [--verify]
//                   [--exclude PATTERN]... [--verbose] [--changed] [--checksum] [--delete]
//                   [--delete-excluded] [--max-delete N] [--dry-run] [--report FILE] [--strict]
//                   [--] SOURCE DESTINATION
//   quillward-batch --help

#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct BatchArgs {
  bool help = false;
  std::filesystem::path source, destination;
  std::map<std::string, std::string> overrides;  // settings key (as the run knows it) -> value
  std::vector<std::string> excludes;             // --exclude, in their order
  bool verbose = false;                          // --verbose: excluded entries are logged
  bool dryRun = false;                           // --dry-run: decide and log, write nothing
  std::filesystem::path report;                  // --report FILE: the run's JSON report
  bool strict = false;                           // --strict: include audit findings are failures
  bool checksum = false;                         // --checksum: sources compared by content
  int maxDelete = -1;                            // --max-delete N; -1: not given
  std::string error;                             // set when the arguments cannot be used
};

// `args` are argv[1..] as native paths (bytes on POSIX, UTF-16 on Windows), so that
// names that are not UTF-8 reach the run unchanged.
BatchArgs ParseBatchArgs(const std::vector<std::filesystem::path>& args);

// The program's arguments, argv[1..], as native strings: on Windows from the wide
// command line, never the ANSI code page. One implementation per platform.
std::vector<std::filesystem::path> NativeArguments(int argc, char** argv);

std::string BatchUsage();
