// Entry point of our Windows test programs.
//
// A test program whose checks mean something only where faults, memory reads and thread
// contexts reach it as Windows delivers them names the fidelity probe's lines it rests on in
// ADRELO_FIDELITY_NEEDS (comma-separated). The test run leaves the probe's results in
// fidelity.txt of the working folder, one line each: "pass NAME: ..." or "fail NAME: ...".
// Where one of the named lines failed, the program runs no test: it says which line failed
// and exits with kSkipped, which the test runner counts as skipped. Without results (a run
// by hand) or without the line in them, the tests run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr int kSkipped = 77;

// The failed result line of the first needed probe line that failed, or empty.
std::string FailedNeed(const std::string& needs, std::istream& results) {
  std::string line;
  while (std::getline(results, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("fail ", 0) != 0) continue;
    const std::string name = line.substr(5, line.find(':') - 5);
    std::stringstream list(needs);
    std::string need;
    while (std::getline(list, need, ',')) {
      if (need == name) return line;
    }
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* needs = std::getenv("ADRELO_FIDELITY_NEEDS"); needs != nullptr && *needs) {
    std::ifstream results("fidelity.txt");
    if (!results) {
      std::printf("no fidelity probe results in the working folder: running anyway\n");
    } else if (const std::string failed = FailedNeed(needs, results); !failed.empty()) {
      std::printf("skipped: this system is not faithful here (probe: %s)\n", failed.c_str());
      return kSkipped;
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
