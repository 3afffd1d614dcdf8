// A stand-in for the encoder in tests and benchmarks. Standard library only.
//
// Called as `screnc [switches...] SOURCE DESTINATION`. Behaviour, from the environment:
//   QW_FAKE_LOG=path         append this call's arguments (argv[1..]), each ended by NUL,
//                            the call ended by one more NUL
//   QW_FAKE_MODE=copy        (default) write DESTINATION = "ENCODED\n" + SOURCE's bytes
//   QW_FAKE_MODE=nooutput    exit 0 and write nothing
//   QW_FAKE_MODE=exit:N      exit N and write nothing
//   QW_FAKE_MODE=kill        end by SIGKILL (POSIX) without writing
//   QW_FAKE_MODE=partial     write 10 bytes of DESTINATION, then end by SIGKILL
//   QW_FAKE_MODE=empty       write an empty DESTINATION and exit 0
//   QW_FAKE_MODE=from:DIR    write DESTINATION = the bytes of DIR/<SOURCE's file name> (an
//                            output made beforehand: partly encoded, say)
//   QW_FAKE_MODE=stderr:TEXT write "screnc: TEXT" to stderr, exit 1
//   QW_FAKE_MODE=hang        wait for a signal for ever (SIGTERM ends it; on Windows only
//                            being terminated does)
//   QW_FAKE_MODE=hang-noterm the same, with SIGTERM ignored (only SIGKILL ends it)
//   QW_FAKE_MODE_ONLY=text   the mode applies only to a SOURCE that contains text
//   QW_FAKE_PID=path         write this process's id to path first
//   QW_FAKE_FAIL_MATCH=text  for a SOURCE that contains text: exit 3 and write nothing
//   `--serve` alone: exit 255 at once, with nothing recorded: an encoder that cannot
//   serve, so the run falls back to one process per file; with QW_FAKE_SERVE=1 it
//   serves (docs/screnc.md), each request being one call as above in this process (a
//   kill or hang mode ends or hangs the server in the middle of a file)
//   QW_FAKE_INTERRUPT=text   for a SOURCE that contains text: send SIGINT to the parent
//                            (as a Ctrl-C would), then work as usual
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

static const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

static int Call(int argc, char** argv);

static bool ReadU32(unsigned& v) {
  unsigned char b[4];
  if (std::fread(b, 1, 4, stdin) != 4) return false;
  v = b[0] | b[1] << 8 | b[2] << 16 | static_cast<unsigned>(b[3]) << 24;
  return true;
}

static int Serve(char* program) {
  char hello[15];
  if (std::fread(hello, 1, 15, stdin) != 15 || std::memcmp(hello, "screnc-serve 1\n", 15) != 0) return 255;
  std::fwrite(hello, 1, 15, stdout);
  std::fflush(stdout);
  for (unsigned count = 0; ReadU32(count);) {
    std::vector<std::string> args(count);
    for (std::string& a : args) {
      unsigned size = 0;
      if (!ReadU32(size)) return 255;
      a.resize(size);
      if (size && std::fread(a.data(), 1, size, stdin) != size) return 255;
    }
    std::vector<char*> argv{program};
    for (std::string& a : args) argv.push_back(a.data());
    const unsigned status = static_cast<unsigned>(Call(static_cast<int>(argv.size()), argv.data()));
    const unsigned char answer[8] = {static_cast<unsigned char>(status), 0, 0, 0, 0, 0, 0, 0};
    std::fwrite(answer, 1, 8, stdout);
    std::fflush(stdout);
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--serve") == 0) {
    return std::strcmp(Env("QW_FAKE_SERVE"), "1") == 0 ? Serve(argv[0]) : 255;
  }
  return Call(argc, argv);
}

static int Call(int argc, char** argv) {
  if (const char* log = std::getenv("QW_FAKE_LOG")) {
    std::ofstream out(log, std::ios::binary | std::ios::app);
    for (int i = 1; i < argc; ++i) out.write(argv[i], std::strlen(argv[i]) + 1);
    out.put('\0');
  }
  if (const char* pidPath = std::getenv("QW_FAKE_PID")) std::ofstream(pidPath) << getpid();
  if (argc < 3) return 255;
  const std::string source = argv[argc - 2];
  const std::string destination = argv[argc - 1];
  const std::string only = Env("QW_FAKE_MODE_ONLY");
  const std::string mode = only.empty() || source.find(only) != std::string::npos ? Env("QW_FAKE_MODE") : "";
  const std::string failMatch = Env("QW_FAKE_FAIL_MATCH");

  if (!failMatch.empty() && source.find(failMatch) != std::string::npos) return 3;
  const std::string interrupt = Env("QW_FAKE_INTERRUPT");
#ifndef _WIN32
  if (!interrupt.empty() && source.find(interrupt) != std::string::npos) kill(getppid(), SIGINT);
#endif
  if (mode == "nooutput") return 0;
  if (mode == "empty") return std::ofstream(destination, std::ios::binary).good() ? 0 : 255;
  if (mode.rfind("stderr:", 0) == 0) {
    std::fprintf(stderr, "first line\nscrenc: %s\n", mode.c_str() + 7);
    return 1;
  }
#ifdef _WIN32
  if (mode == "hang") {  // only TerminateProcess ends it
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  }
#else
  if (mode == "hang" || mode == "hang-noterm") {
    if (mode == "hang-noterm") std::signal(SIGTERM, SIG_IGN);
    for (;;) pause();
  }
  if (mode == "partial") {
    std::ofstream(destination, std::ios::binary) << "0123456789";
    std::raise(SIGKILL);
  }
#endif
  if (mode.rfind("exit:", 0) == 0) return std::atoi(mode.c_str() + 5);
  if (mode == "kill") {
#ifdef SIGKILL
    std::raise(SIGKILL);
#endif
    return 9;
  }

  std::string input = source;
  if (mode.rfind("from:", 0) == 0) input = mode.substr(5) + "/" + source.substr(source.find_last_of("/\\") + 1);
  std::ifstream in(input, std::ios::binary);
  if (!in) return 255;
  std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream out(destination, std::ios::binary | std::ios::trunc);
  if (!out) return 255;
  if (input == source) out << "ENCODED\n";
  out << body;
  return out.good() ? 0 : 255;
}
