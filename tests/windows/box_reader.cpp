// Reads the message box another program shows under Wine and answers it, as a user would.
//
//   box_reader <timeout-ms> <yes|no|ok|none> [<screenshot.bmp>]
//
// Waits for a message-box window, prints one line each, in UTF-8:
//   caption: <text>
//   text: <text, line feeds as \n>
//   icon: error|question|information|warning|none
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
    SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer));
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

// 32 x 32 pixels of a device context at (x, y), as 32-bit colour.
std::string Pixels(HDC source, int x, int y) {
    HDC dc = CreateCompatibleDC(source);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = 32;
    bmi.bmiHeader.biHeight = 32;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, 32, 32, source, x, y, SRCCOPY);
    GdiFlush();
    std::string pixels(static_cast<const char*>(bits), 32 * 32 * 4);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

// The standard icon whose drawing matches what the box's icon control shows: each candidate is
// drawn here on the control's own background and compared pixel by pixel.
const char* IconName(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
            iconControl = child;
        }
    }
    if (iconControl == nullptr) {
        return "none";
    }
    HDC controlDc = GetDC(iconControl);
    const std::string shown = Pixels(controlDc, 0, 0);
    const COLORREF background = GetPixel(controlDc, 0, 0);
    const struct {
        LPCWSTR id;
        const char* name;
    } known[] = {{MAKEINTRESOURCEW(32513), "error"},
                 {MAKEINTRESOURCEW(32514), "question"},
                 {MAKEINTRESOURCEW(32516), "information"},
                 {MAKEINTRESOURCEW(32515), "warning"}};
    const char* best = "unknown";
    size_t bestEqual = 0;
    for (const auto& k : known) {
        HDC dc = CreateCompatibleDC(controlDc);
        HBITMAP bitmap = CreateCompatibleBitmap(controlDc, 32, 32);
        HGDIOBJ old = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = {0, 0, 32, 32};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        DrawIconEx(dc, 0, 0, LoadIconW(nullptr, k.id), 32, 32, 0, nullptr, DI_NORMAL);
        const std::string drawn = Pixels(dc, 0, 0);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        size_t equal = 0;
        for (size_t i = 0; i < drawn.size(); i += 4) {
            equal += std::memcmp(&drawn[i], &shown[i], 3) == 0;
        }
        if (equal > bestEqual) {
            bestEqual = equal;
            best = k.name;
        }
    }
    ReleaseDC(iconControl, controlDc);
    return bestEqual >= 32 * 32 * 9 / 10 ? best : "unknown";
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
    }
    return 0;
}
