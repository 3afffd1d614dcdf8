#pragma once
// A small test harness without any toolkit, so the window model's tests build wherever the
// model does (a Windows .exe included): TEST cases registered at start-up, CHECK and
// CHECK_EQ that report the case, the line and both values, and a main that runs every
// case (or those whose name contains argv[1]) and returns non-zero when one failed.

#include <chrono>
#include <filesystem>
#include <random>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace check {

struct Case {
  std::string name;
  std::function<void()> body;
};

inline std::vector<Case>& Cases() {
  static std::vector<Case> cases;
  return cases;
}

inline int& Failures() {
  static int failures = 0;
  return failures;
}

inline std::string& Current() {
  static std::string current;
  return current;
}

struct Register {
  Register(const char* name, std::function<void()> body) { Cases().push_back({name, std::move(body)}); }
};

template <typename T>
std::string Shown(const T& value) {
  std::ostringstream out;
  if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, const char*>) {
    out << '"' << value << '"';
  } else if constexpr (std::is_enum_v<T>) {
    out << static_cast<long long>(value);
  } else {
    out << value;
  }
  return out.str();
}

inline void Fail(const char* file, int line, const std::string& what) {
  ++Failures();
  std::cerr << file << ":" << line << ": FAIL in " << Current() << ": " << what << "\n";
}

// A folder of its own under the system's temporary folder, removed at the end of its scope.
class TempDir {
public:
  TempDir() {
    static int n = 0;
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("qw-window-test-" + std::to_string(++n) + "-" + std::to_string(random()) + "-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

}  // namespace check

#define QW_CAT2(a, b) a##b
#define QW_CAT(a, b) QW_CAT2(a, b)
#define TEST(name)                                                      \
  static void name();                                                   \
  static const ::check::Register QW_CAT(register_, name)(#name, name); \
  static void name()

#define CHECK(cond)                                           \
  do {                                                        \
    if (!(cond)) ::check::Fail(__FILE__, __LINE__, #cond);    \
  } while (0)

#define CHECK_EQ(actual, expected)                                                                         \
  do {                                                                                                     \
    const auto qw_a = (actual);                                                                            \
    const auto qw_e = (expected);                                                                          \
    if (!(qw_a == qw_e))                                                                                   \
      ::check::Fail(__FILE__, __LINE__,                                                                    \
                    std::string(#actual) + " is " + ::check::Shown(qw_a) + ", expected " + ::check::Shown(qw_e)); \
  } while (0)
