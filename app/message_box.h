// The catalogue's messages in message boxes captioned with the title (message 103).
#pragma once

#include "platform/win32.h"

constexpr int kTextCharacters = 260;

// The module the messages are loaded from, recorded at entry.
extern HINSTANCE g_hInstance;
// The caption of every box; empty until the flow loads message 103 into it.
extern WCHAR g_szTitle[kTextCharacters];

// Loads message id and shows it with no owner window and the given style; returns the button
// pressed. The text is loaded anew for every box.
int ShowMessage(UINT id, UINT style);
