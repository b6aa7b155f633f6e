#include "fault.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace faults {

namespace {

struct Row {
    std::string fault, outcome, lost;
};

constexpr size_t outcome_width = 110;

std::vector<Row> rows;
std::vector<std::string> skips;

int failed_parts() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!test) return 0;
    const ::testing::TestResult* result = test->result();
    int failed = 0;
    for (int i = 0; i < result->total_part_count(); ++i)
        if (result->GetTestPartResult(i).failed()) ++failed;
    return failed;
}

void append(std::string& list, const std::string& item) {
    if (!list.empty()) list += "; ";
    list += item;
}

} // namespace

Fault::Fault(std::string name) : name_(std::move(name)), failures_before_(failed_parts()) {}

Fault::~Fault() {
    // A failed check other than kept(): the program did something else than it promised.
    if (failed_parts() - failures_before_ > losses_)
        append(lost_, "unexpected outcome (see the failure above)");
    rows.push_back({name_, outcome_.empty() ? "-" : outcome_, lost_.empty() ? "none" : lost_});
}

void Fault::outcome(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    // One line of the table: the start says what happened.
    if (text.size() > outcome_width) text = text.substr(0, outcome_width - 3) + "...";
    outcome_ = std::move(text);
}

void Fault::kept(const std::string& what, bool condition) {
    if (condition) return;
    ADD_FAILURE() << name_ << ": lost " << what;
    append(lost_, what);
    ++losses_;
}

void skipped(const std::string& name, const std::string& reason) {
    skips.push_back(name + ": skipped, not counted (" + reason + ")");
}

bool print_table() {
    size_t fault_width = 5, outcome_width = 7;
    for (const Row& row : rows) {
        fault_width = std::max(fault_width, row.fault.size());
        outcome_width = std::max(outcome_width, row.outcome.size());
    }
    auto line = [&](const std::string& fault, const std::string& outcome, const std::string& lost) {
        std::printf("%-*s | %-*s | %s\n", static_cast<int>(fault_width), fault.c_str(),
                    static_cast<int>(outcome_width), outcome.c_str(), lost.c_str());
    };
    std::printf("\n");
    line("fault", "outcome", "lost");
    line(std::string(fault_width, '-'), std::string(outcome_width, '-'), "----");
    size_t survived = 0;
    for (const Row& row : rows) {
        line(row.fault, row.outcome, row.lost);
        if (row.lost == "none") ++survived;
    }
    for (const std::string& skip : skips)
        std::printf("%s\n", skip.c_str());
    std::printf("%zu faults injected, %zu survived with nothing lost\n", rows.size(), survived);
    std::fflush(stdout);
    return survived == rows.size();
}

} // namespace faults
