#pragma once
// What the fault cases share: the shop's rows in the bench's server, and what the program said.
#include "server.h"

#include <string>

namespace faults {

// Creates the table `item` in the application database with the rows given as SQL values,
// for example "(1, 'bread'), (2, 'milk')".
void seed_shop(const std::string& root_password, const std::string& values);
// "id<TAB>name" a line, in id order; empty when the server does not answer.
std::string shop_rows(const std::string& root_password);

// The last entry of tray.log without its timestamp, its lines joined: what the mode said.
std::string last_said(const e2e::TestFolder& folder);
// "exit N: <last entry>" for a mode that failed, "exit 0" for one that did not.
std::string outcome_of(const e2e::Finished& finished, const e2e::TestFolder& folder);

} // namespace faults
