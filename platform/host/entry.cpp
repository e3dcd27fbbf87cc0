#include "platform/win32.h"

// The host platform starts a program as Windows starts a GUI program: at wWinMain, with the
// module's handle, no previous instance, an empty command line and the normal show value.
int main() {
    WCHAR commandLine[1] = {0};
    return wWinMain(GetModuleHandleW(nullptr), nullptr, commandLine, 1);
}
