// Reads the message box another program shows under Wine and answers it, as a user would.
//
//   box_reader <timeout-ms> <yes|no|ok|none>
//
// Waits for a message-box window, prints one line each, in UTF-8:
//   caption: <text>
//   text: <text, line feeds as \n>
//   icon: present|none
//   buttons: <the button texts, separated by |>
// then, unless told "none", presses the named button. Exits 0 after a box, 3 when none came.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\r') {
            continue;
        }
        if (c == L'\n') {
            out += "\\n";
            continue;
        }
        char bytes[8];
        const int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
        out.append(bytes, n > 0 ? n : 0);
    }
    return out;
}

std::wstring TextOf(HWND window) {
    wchar_t buffer[2048] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, &ignored);
    return buffer;
}

struct Box {
    HWND window = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wcscmp(className, L"#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<Box*>(param)->window = window;
        return FALSE;
    }
    return TRUE;
}

// Whether the box shows an icon. Which standard icon it is cannot be read from another
// process under Wine (its icon handle draws nothing here), so only its presence is reported.
const char* IconName(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
            DWORD_PTR icon = 0;
            SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
            if (icon == 0) {
                continue;
            }
            return "present";
        }
    }
    return "none";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: box_reader <timeout-ms> <yes|no|ok|none>\n");
        return 2;
    }
    const DWORD timeout = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    const std::string press = argv[2];
    Box box;
    const DWORD start = GetTickCount();
    while (box.window == nullptr) {
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
        if (box.window == nullptr) {
            if (GetTickCount() - start > timeout) {
                std::printf("no box\n");
                return 3;
            }
            Sleep(20);
        }
    }
    Sleep(200);  // let the box finish drawing itself

    std::wstring text, buttons;
    HWND yes = nullptr, no = nullptr, ok = nullptr;
    for (HWND child = GetWindow(box.window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        const int id = GetDlgCtrlID(child);
        if (_wcsicmp(className, L"Button") == 0 && IsWindowVisible(child)) {
            buttons += (buttons.empty() ? L"" : L"|") + TextOf(child);
            yes = id == IDYES ? child : yes;
            no = id == IDNO ? child : no;
            ok = id == IDOK ? child : ok;
        } else if (_wcsicmp(className, L"Static") == 0 &&
                   (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            const std::wstring t = TextOf(child);
            text += t;
        }
    }
    std::printf("caption: %s\n", Utf8(TextOf(box.window)).c_str());
    std::printf("text: %s\n", Utf8(text).c_str());
    std::printf("icon: %s\n", IconName(box.window));
    std::printf("buttons: %s\n", Utf8(buttons).c_str());
    std::fflush(stdout);

    HWND target = press == "yes" ? yes : press == "no" ? no : press == "ok" ? ok : nullptr;
    if (press != "none") {
        if (target == nullptr) {
            std::printf("no %s button\n", press.c_str());
            return 4;
        }
        PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(target), BN_CLICKED),
                     reinterpret_cast<LPARAM>(target));
        // Gone before the next reader looks, so that it cannot take this box for the next.
        for (int i = 0; i < 250 && IsWindow(box.window); ++i) {
            Sleep(20);
        }
    }
    return 0;
}
