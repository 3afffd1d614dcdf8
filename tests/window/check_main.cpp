// Runs the registered cases: all, or those whose name contains the first argument.
#include "check.h"

int main(int argc, char** argv) {
  const std::string filter = argc > 1 ? argv[1] : "";
  int ran = 0;
  for (const check::Case& c : check::Cases()) {
    if (!filter.empty() && c.name.find(filter) == std::string::npos) continue;
    check::Current() = c.name;
    const int before = check::Failures();
    try {
      c.body();
    } catch (const std::exception& e) {
      check::Fail(__FILE__, __LINE__, std::string("exception: ") + e.what());
    }
    std::cout << (check::Failures() == before ? "PASS " : "FAIL ") << c.name << "\n";
    ++ran;
  }
  std::cout << ran << " cases, " << check::Failures() << " failures\n";
  return check::Failures() == 0 && ran > 0 ? 0 : 1;
}
