#include "tests/support/driver_client_state.h"

#include "driver_client/misc_common.h"
#include "driver_client/primitives.h"
#include "platform/host/host_root.h"
#include "platform/host/seam.h"

using MiscCommon::CMiscCommon;

void ResetDriverClient() {
    // Closed while the seam still watches, so that a test sees the session's cipher released.
    CMiscCommon::CloseDriver();
    HostResetSeam();
    MiscCommon::g_primitives = MiscCommon::kRealPrimitives;
    delete[] CMiscCommon::_szVersion;
    CMiscCommon::_szVersion = nullptr;
    CMiscCommon::_versionMajor = CMiscCommon::_versionMinor = 0;
    CMiscCommon::_versionBuild = CMiscCommon::_versionRevision = 0;
    CMiscCommon::_sessionId = 0;
    CMiscCommon::_sequence = 0;
    CMiscCommon::_bEncrypt = TRUE;
    CMiscCommon::_ClearErrorMessage();
}

std::string ErrorText() {
    return CMiscCommon::_szErrorMessage == nullptr ? std::string("<null>")
                                                   : Utf16ToUtf8(CMiscCommon::_szErrorMessage);
}
