#include "app/environment_check.h"

#include <cstring>

#include "app/message_box.h"
#include "app/resource.h"
#include "app/win_version.h"
#include "driver_client/misc_common.h"
#include "platform/processor.h"

using MiscCommon::CMiscCommon;

namespace {

const char* const kModelPrefixes[] = {"QK", "JX", "WV"};
constexpr size_t kLongestModel = 19;
constexpr uint32_t kModelCapacity = 259;

// CPUID leaf 1 signatures (model, family, extended model and family; stepping masked off) of
// three Intel Atom generations.
constexpr uint32_t kSignatureMask = 0x0FFF0FF0;
constexpr uint32_t kExcludedSignatures[] = {0x106C0, 0x30670, 0x406C0};

constexpr uint8_t kMinimumPlatformInformation = 3;
constexpr uint16_t kWindows7 = 11;

bool AcceptedModel(const uint8_t* model) {
    for (const char* prefix : kModelPrefixes) {
        const size_t n = strnlen(prefix, kLongestModel);
        if (std::memcmp(model, prefix, n) == 0) {
            return true;
        }
    }
    return false;
}

bool PlatformInformationAccepted() {
    uint8_t packet[MiscCommon::kPlatformPacketBytes] = {};
    MiscCommon::MiscPacketHeader header = {};
    header.function = MiscCommon::kMiscPlatformInformation;
    header.sizeIn = 8;
    header.sizeOut = MiscCommon::kPlatformPacketBytes;
    std::memcpy(packet, &header, sizeof header);
    return CMiscCommon::CallMiscFunction(packet, sizeof packet) == MiscCommon::MISC_SUCCESS &&
           packet[0] == MiscCommon::kMiscStatusSuccess &&
           packet[MiscCommon::kPlatformValueOffset] >= kMinimumPlatformInformation;
}

bool ExcludedProcessor() {
    uint32_t registers[4] = {};
    CpuidLeaf1(registers);
    for (uint32_t signature : kExcludedSignatures) {
        if ((registers[0] & kSignatureMask) == signature) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool CheckEnvironment() {
    uint8_t model[kModelCapacity + 1] = {};
    const CWinVersion version;

    if (CMiscCommon::OpenDriver() != MiscCommon::MISC_SUCCESS) {
        ShowMessage(IDS_DRIVER_UNAVAILABLE, MB_ICONERROR);
        return false;
    }
    // An older driver skips the handshake; reading its model number then fails (105).
    if (CMiscCommon::DriverVersionGate() &&
        CMiscCommon::_Initialize() != MiscCommon::MISC_SUCCESS) {
        ShowMessage(IDS_DRIVER_UNAVAILABLE, MB_ICONERROR);
        return false;
    }
    uint32_t size = kModelCapacity;
    if (CMiscCommon::GetModelNumber(model, &size) != MiscCommon::MISC_SUCCESS ||
        !AcceptedModel(model) || !PlatformInformationAccepted() || ExcludedProcessor()) {
        ShowMessage(IDS_MODEL_NOT_SUPPORTED, MB_OK);
        return false;
    }
    if (version._versionCode < kWindows7) {
        ShowMessage(IDS_WINDOWS_TOO_OLD, MB_OK);
        return false;
    }
    return true;
}
