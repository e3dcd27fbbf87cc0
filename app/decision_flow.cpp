#include "app/decision_flow.h"

#include "app/environment_check.h"
#include "app/instance_guard.h"
#include "app/message_box.h"
#include "app/resource.h"
#include "driver_client/misc_common.h"

using MiscCommon::CMiscCommon;

namespace {

const WCHAR kSessionMutex[] = WSTR("Halvenor_Tollvane_Execute_Mutex");
const WCHAR kGlobalMutex[] = WSTR("Global\\Halvenor_Tollvane_Global_Execute_Mutex");

// Bit 0 enables the clock's own daylight-saving shift; bit 7 is the MC146818's update-inhibit
// bit. Both are cleared, bits 1 to 6 written back as read.
constexpr uint8_t kDaylightSavingEnable = 0x01;
constexpr uint8_t kWriteMask = 0x7E;

bool ReadRegister(uint8_t& value) {
    uint8_t status = 0;
    return CMiscCommon::ReadRtcRegisterB(&status, &value) == MiscCommon::MISC_SUCCESS &&
           status == MiscCommon::kMiscStatusSuccess;
}

// The steps after both guards are held; the guards close as the caller returns, the global one
// first, always after the message.
int RegisterFlow() {
    if (!CheckEnvironment()) {
        return kExitOther;
    }
    uint8_t value = 0;
    if (!ReadRegister(value)) {
        ShowMessage(IDS_MODEL_NOT_SUPPORTED, MB_OK);
        return kExitOther;
    }
    if (!(value & kDaylightSavingEnable)) {
        ShowMessage(IDS_ALREADY_DISABLED, MB_OK);
        return kExitAlreadyOff;
    }
    if (ShowMessage(IDS_CONFIRM_DISABLE, MB_YESNO) != IDYES) {
        return kExitOther;
    }
    // The value written comes from this second read, which may differ from the first.
    if (!ReadRegister(value)) {
        ShowMessage(IDS_MODEL_NOT_SUPPORTED, MB_OK);
        return kExitOther;
    }
    uint8_t status = 0;
    if (CMiscCommon::WriteRtcRegisterB(&status, value & kWriteMask) != MiscCommon::MISC_SUCCESS ||
        status != MiscCommon::kMiscStatusSuccess) {
        ShowMessage(IDS_CHANGE_FAILED, MB_OK);
        return kExitSwitchFailed;
    }
    if (!ReadRegister(value) || (value & kDaylightSavingEnable)) {
        ShowMessage(IDS_CHANGE_FAILED, MB_OK);
        return kExitSwitchFailed;
    }
    ShowMessage(IDS_NOW_DISABLED, MB_OK);
    return kExitSwitchedOff;
}

}  // namespace

int RunDecisionFlow(HINSTANCE hInstance) {
    g_hInstance = hInstance;
    g_szTitle[0] = 0;
    LoadStringW(g_hInstance, IDS_TITLE, g_szTitle, kTextCharacters);

    const CMultipleInstancePreventer sessionGuard(kSessionMutex);
    const DWORD sessionError = GetLastError();
    if (sessionGuard._hMutex == nullptr || sessionError == ERROR_ALREADY_EXISTS) {
        return kExitOther;
    }
    const CMultipleInstancePreventer globalGuard(kGlobalMutex);
    const DWORD globalError = GetLastError();
    if (globalGuard._hMutex == nullptr || globalError == ERROR_ALREADY_EXISTS) {
        ShowMessage(IDS_ANOTHER_USER, MB_OK);
        return kExitOther;
    }
    return RegisterFlow();
}
