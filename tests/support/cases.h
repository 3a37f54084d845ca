// How many cases a random or property test runs: VANTOR_CASES when it is set
// to a positive number, else the test's own count.
#pragma once

#include <cstdlib>

namespace vantor_test {

inline int Cases(int fallback) {
  const char* text = std::getenv("VANTOR_CASES");
  const int cases = text != nullptr ? std::atoi(text) : 0;
  return cases > 0 ? cases : fallback;
}

}  // namespace vantor_test
