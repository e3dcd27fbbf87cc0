#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/host/host_root.h"
#include "platform/host/seam.h"
#include "platform/win32.h"

namespace {

constexpr WORD kEnglish = 1033;
constexpr WORD kFrench = 1036;
constexpr WORD kJapanese = 1041;
constexpr WORD kChineseSimplified = 2052;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The user's interface language, by the locale variables in the order the C library reads
// them for messages.
WORD UserLanguage() {
    std::string locale;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            locale = value;
            break;
        }
    }
    if (StartsWith(locale, "fr")) {
        return kFrench;
    }
    if (StartsWith(locale, "ja")) {
        return kJapanese;
    }
    if (StartsWith(locale, "zh_CN") || StartsWith(locale, "zh_SG") ||
        StartsWith(locale, "zh_Hans")) {
        return kChineseSimplified;
    }
    return kEnglish;
}

const char* Find(WORD language, UINT id) {
    size_t count = 0;
    const HostStringResource* table = HostModuleStrings(&count);
    for (size_t i = 0; i < count; ++i) {
        if (table[i].language == language && table[i].id == id) {
            return table[i].utf8;
        }
    }
    return nullptr;
}

}  // namespace

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int bufferMax) {
    if (HostShouldFail("LoadStringW")) {
        return 0;
    }
    if (buffer == nullptr || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = Find(UserLanguage(), id);
    if (text == nullptr) {
        text = Find(kEnglish, id);
    }
    if (text == nullptr) {
        buffer[0] = 0;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const std::u16string wide = Utf8ToUtf16(text);
    const size_t n = wide.size() < static_cast<size_t>(bufferMax)
                         ? wide.size()
                         : static_cast<size_t>(bufferMax) - 1;
    std::memcpy(buffer, wide.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
    return static_cast<int>(n);
}
