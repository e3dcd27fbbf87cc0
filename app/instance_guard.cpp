#include "app/instance_guard.h"

CMultipleInstancePreventer::CMultipleInstancePreventer(LPCWSTR pszName)
    : _hMutex(nullptr), _pszName(pszName) {
    if (_pszName != nullptr) {
        _hMutex = CreateMutexW(nullptr, FALSE, _pszName);
    }
}

CMultipleInstancePreventer::~CMultipleInstancePreventer() {
    if (_hMutex != nullptr) {
        CloseHandle(_hMutex);
        _hMutex = nullptr;
    }
}
