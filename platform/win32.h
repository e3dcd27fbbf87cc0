// The Win32 operations this program uses, by their own names. On Windows they come from the
// platform; elsewhere from the host platform layer, which gives each the results this program
// relies on and no more.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// After windows.h, which they need.
#include <setupapi.h>
#include <winioctl.h>
// Wide text literals: L"" here, u"" on the host.
#define WSTR(s) L##s
#else
#include "platform/host/win32_host.h"
#endif
