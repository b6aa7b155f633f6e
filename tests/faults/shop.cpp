#include "shop.h"

#include <gtest/gtest.h>

namespace faults {

void seed_shop(const std::string& root_password, const std::string& values) {
    auto made = e2e::mysql_as_root(
        "DROP TABLE IF EXISTS item; CREATE TABLE item (id INT PRIMARY KEY, name VARCHAR(40)) "
        "CHARACTER SET utf8mb4; INSERT INTO item VALUES " +
            values + ";",
        root_password, "kelta_retail");
    ASSERT_EQ(made.exit_code, 0) << made.error;
}

std::string shop_rows(const std::string& root_password) {
    return e2e::mysql_as_root("SELECT id, name FROM item ORDER BY id;", root_password,
                              "kelta_retail")
        .output;
}

std::string last_said(const e2e::TestFolder& folder) {
    std::string entry;
    for (const auto& line : e2e::lines_of(e2e::read_file(folder.path("tray.log")))) {
        if (line.size() > 16 && e2e::is_timestamp(line.substr(0, 15)))
            entry = line.substr(16);
        else
            entry += " / " + line;
    }
    return entry;
}

std::string outcome_of(const e2e::Finished& finished, const e2e::TestFolder& folder) {
    if (finished.exit_code == 0) return "exit 0";
    return "exit " + std::to_string(finished.exit_code) + ": " + last_said(folder);
}

} // namespace faults
