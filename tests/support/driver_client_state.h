// Puts the driver client's process-wide state back as set-up leaves it, between tests.
#pragma once

#include <string>

void ResetDriverClient();

// The client's failure text, as UTF-8.
std::string ErrorText();
