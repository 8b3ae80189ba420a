#pragma once

#include <chrono>

// Lets time pass while the windows keep painting; user input waits until the pause is over, so
// that no second action starts meanwhile. Nothing happens for a pause of zero or less.
void WaitWithoutUserInput(std::chrono::milliseconds duration);
