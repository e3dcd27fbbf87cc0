#include "app/message_box.h"

HINSTANCE g_hInstance = nullptr;
WCHAR g_szTitle[kTextCharacters] = {};

int ShowMessage(UINT id, UINT style) {
    WCHAR text[kTextCharacters] = {};
    LoadStringW(g_hInstance, id, text, kTextCharacters);
    return MessageBoxW(nullptr, text, g_szTitle, style);
}
