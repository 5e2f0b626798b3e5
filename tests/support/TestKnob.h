#pragma once

#include <chrono>

// Waits that the tests shorten, through variables of their own that users
// never need: the program's configuration comes from its file and its
// command line only.
namespace TestKnob {
// The variable's value in milliseconds when it holds a positive number,
// otherwise `normal`.
std::chrono::milliseconds milliseconds(const char* variable, std::chrono::milliseconds normal);
} // namespace TestKnob
