#pragma once

// Opens the driver and, for a driver of 1.0.8 or later, its session; then requires an accepted
// model number, a platform-information value of at least 3, a processor outside the excluded
// Atom generations, and Windows 7 or later. True with no message when all pass; false after
// showing the one message of the first failing test. The driver stays open either way.
bool CheckEnvironment();
