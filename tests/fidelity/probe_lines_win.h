// The lines of the fidelity probe: each runs one thing whose outcome Windows defines
// (a fault's code, address and parameters; a memory read; a thread's context) and compares
// what the system under test gave.
#pragma once

#include <string>
#include <vector>

namespace fidelity {

// One probe line.
struct ProbeLine {
  const char* name;  // the name tests refer to
  const char* what;  // what Windows gives, in a few words
  // Runs the check in the calling process: empty when it held, else what differed.
  std::string (*run)();
};

// Every line, in the order they are printed.
const std::vector<ProbeLine>& ProbeLines();

// The line of that name, or null.
const ProbeLine* FindProbeLine(const std::string& name);

}  // namespace fidelity
