#pragma once

#include "platform/win32.h"

// Process exit codes.
constexpr int kExitAlreadyOff = 0;
constexpr int kExitSwitchedOff = 1;
constexpr int kExitSwitchFailed = 2;
constexpr int kExitOther = 99;

// The whole run: the instance guards, the environment check, and the read, confirm, write and
// verify of register B, each outcome shown in a message box. Returns the exit code.
int RunDecisionFlow(HINSTANCE hInstance);
