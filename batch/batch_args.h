#pragma once
// The command line of quillward-batch:
//   quillward-batch [--set KEY=VALUE]... [--] SOURCE DESTINATION
//   quillward-batch --help

#include <QMap>
#include <QString>
#include <filesystem>
#include <vector>

struct BatchArgs {
  bool help = false;
  std::filesystem::path source, destination;
  QMap<QString, QString> overrides;  // settings key (as the run knows it) -> value
  QString error;                     // set when the arguments cannot be used
};

// `args` are argv[1..] as native paths (bytes on POSIX), so that names that are not
// UTF-8 reach the run unchanged.
BatchArgs ParseBatchArgs(const std::vector<std::filesystem::path>& args);

// The program's arguments, argv[1..], as native strings. One implementation per platform.
std::vector<std::filesystem::path> NativeArguments(int argc, char** argv);

QString BatchUsage();
