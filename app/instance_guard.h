#pragma once

#include "platform/win32.h"

// Owns one named mutex while it lives. Only the mutex's existence counts: it is never waited
// on. Right after construction the platform's last error tells whether it existed before
// (ERROR_ALREADY_EXISTS).
class CMultipleInstancePreventer {
public:
    explicit CMultipleInstancePreventer(LPCWSTR pszName);
    virtual ~CMultipleInstancePreventer();
    CMultipleInstancePreventer(const CMultipleInstancePreventer&) = delete;
    CMultipleInstancePreventer& operator=(const CMultipleInstancePreventer&) = delete;

    HANDLE _hMutex;    // null when the mutex was not created
    LPCWSTR _pszName;  // not owned: a constant
};
