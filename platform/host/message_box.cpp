#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/host/host_root.h"
#include "platform/host/seam.h"
#include "platform/win32.h"

namespace {

// One key from the terminal, without waiting for a line.
int ReadKey() {
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        return EOF;
    }
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    unsigned char key = 0;
    const ssize_t n = read(STDIN_FILENO, &key, 1);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return n == 1 ? key : EOF;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    const HostMessageBox box{caption != nullptr ? caption : u"", text != nullptr ? text : u"",
                             type};
    if (HostBoxes().answer) {
        HostBoxes().shown.push_back(box);
        return HostBoxes().answer(box);
    }
    const bool yesNo = (type & 0xF) == MB_YESNO;
    const bool error = (type & 0xF0) == MB_ICONERROR;
    std::printf("\n[%s]%s\n%s\n", Utf16ToUtf8(box.caption).c_str(), error ? " (error)" : "",
                Utf16ToUtf8(box.text).c_str());
    std::printf(yesNo ? "[ Yes ]  [ No ]  (y/n) " : "[ OK ]  (Enter) ");
    std::fflush(stdout);

    int answer = yesNo ? IDNO : IDOK;
    if (isatty(STDIN_FILENO)) {
        for (;;) {
            const int key = ReadKey();
            if (!yesNo) {
                break;  // any key presses OK
            }
            if (key == 'y' || key == 'Y' || key == '\n' || key == '\r') {
                answer = IDYES;  // Enter presses the default button, Yes
                break;
            }
            if (key == 'n' || key == 'N' || key == 27 || key == EOF) {
                break;
            }
        }
    } else {
        std::string line;
        const bool got = static_cast<bool>(std::getline(std::cin, line));
        if (yesNo && got && (Lower(line) == "y" || Lower(line) == "yes")) {
            answer = IDYES;
        }
    }
    std::printf("%s\n", answer == IDYES ? "Yes" : answer == IDNO ? "No" : "OK");
    std::fflush(stdout);
    return answer;
}
