#pragma once
// The fault suite's record: one row per injected fault, with what the program did and what, if
// anything, was lost. A row whose checks all held survived with nothing lost.
#include <string>

namespace faults {

class Fault {
  public:
    explicit Fault(std::string name);
    ~Fault();
    Fault(const Fault&) = delete;
    Fault& operator=(const Fault&) = delete;

    // What the program did (exit code and what it said), as the table shows it.
    void outcome(std::string text);
    // Checks that `what` is still there as it was, or as the operation promised; a loss fails
    // the test and is named in the table.
    void kept(const std::string& what, bool condition);

  private:
    std::string name_;
    std::string outcome_;
    std::string lost_;
    int losses_ = 0;
    int failures_before_;
};

// A fault the suite could not inject here, with the reason; it does not count as injected.
void skipped(const std::string& name, const std::string& reason);

// Prints the table, the skipped faults and the line "N faults injected, M survived with nothing
// lost"; true when every injected fault survived.
bool print_table();

} // namespace faults
