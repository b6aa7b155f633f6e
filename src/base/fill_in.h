#pragma once
// Sentences with numbered gaps ("Port %1 is already in use by %2."), so that a translation can
// put the values where its own word order wants them.
#include <initializer_list>
#include <string>
#include <string_view>

// Replaces %1 to %9 by the values in order; a gap without a value, and every other "%", stay
// as they are. Values are inserted as they are, never searched for gaps themselves.
std::string fill_in(std::string_view pattern, std::initializer_list<std::string_view> values);
