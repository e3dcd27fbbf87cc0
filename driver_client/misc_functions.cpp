#include <cstring>

#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"

namespace MiscCommon {

namespace {

constexpr DWORD kBusyRetryMilliseconds = 100;

bool DeviceIsOpen() {
    return CMiscCommon::_hDevice != nullptr && CMiscCommon::_hDevice != INVALID_HANDLE_VALUE;
}

RtcRegisterPacket RtcPacket(uint16_t function, uint32_t command, uint32_t value) {
    RtcRegisterPacket packet = {};
    packet.header.function = function;
    packet.header.sizeIn = sizeof packet;
    packet.header.sizeOut = sizeof packet;
    packet.port = kRtcPort;
    packet.index = kRtcRegisterB;
    packet.command = command;
    packet.value = value;
    return packet;
}

// Sends a register packet; on 0 the answer's status is stored and the packet holds the answer.
// A failure leaves the status untouched.
MiscStatus RegisterExchange(RtcRegisterPacket& packet, uint8_t* pStatus) {
    if (!CMiscCommon::DriverVersionGate()) {
        return MISC_OLD_DRIVER;
    }
    auto* bytes = reinterpret_cast<uint8_t*>(&packet);
    const MiscStatus result = CMiscCommon::CallMiscFunction(bytes, sizeof packet);
    if (result == MISC_SUCCESS) {
        *pStatus = bytes[0];
    }
    return result;
}

BOOL Exchange(uint8_t* pPacket) {
    MiscPacketHeader header;
    std::memcpy(&header, pPacket, sizeof header);
    uint32_t returned = 0;
    return CMiscCommon::EncapsuledDeviceIoControl(pPacket, header.sizeIn, pPacket, header.sizeOut,
                                                  &returned);
}

}  // namespace

MiscStatus CMiscCommon::CallMiscFunction(uint8_t* pPacket, uint32_t sizePacket) {
    if (!DriverVersionGate()) {
        return MISC_OLD_DRIVER;
    }
    if (!DeviceIsOpen()) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::CallMiscFunction: _hDevice is NULL"));
        return MISC_NO_DEVICE;
    }
    if (pPacket == nullptr) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::CallMiscFunction: pPacket is NULL"));
        return MISC_MISSING_ARGUMENT;
    }
    if (sizePacket == 0) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::CallMiscFunction: sizePacket is '0'"));
        return MISC_MISSING_ARGUMENT;
    }
    // The header's sizes must lie within the packet's buffer, as the answer is written there.
    MiscPacketHeader header = {};
    if (sizePacket >= sizeof header) {
        std::memcpy(&header, pPacket, sizeof header);
    }
    if (sizePacket < sizeof header || header.sizeIn > sizePacket || header.sizeOut > sizePacket) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::CallMiscFunction: packet sizes exceed sizePacket"));
        return MISC_MISSING_ARGUMENT;
    }

    auto* backup = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizePacket));
    if (backup == nullptr) {
        const DWORD error = GetLastError();
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::CallMiscFunction: HeapAlloc failed."));
        SetLastError(error);
        return MISC_NO_MEMORY;
    }
    std::memcpy(backup, pPacket, sizePacket);

    bool repeated = false;
    for (;;) {
        if (!Exchange(pPacket)) {
            const DWORD error = GetLastError();
            _SetErrorMessage(
                WSTR("MiscCommon::CMiscCommon::CallMiscFunction: DeviceIoControl failed."));
            HeapFree(GetProcessHeap(), 0, backup);
            SetLastError(error);
            return MISC_PLATFORM_FAILURE;
        }
        if (repeated || pPacket[0] != kMiscStatusBusy) {
            break;
        }
        repeated = true;
        Sleep(kBusyRetryMilliseconds);
        std::memcpy(pPacket, backup, sizePacket);
    }
    HeapFree(GetProcessHeap(), 0, backup);
    _ClearErrorMessage();
    return MISC_SUCCESS;
}

MiscStatus CMiscCommon::ReadRtcRegisterB(uint8_t* pStatus, uint8_t* pValue) {
    RtcRegisterPacket packet = RtcPacket(kMiscReadRtcRegister, kRtcReadCommand, 0);
    const MiscStatus result = RegisterExchange(packet, pStatus);
    if (result == MISC_SUCCESS && *pStatus == kMiscStatusSuccess) {
        *pValue = reinterpret_cast<const uint8_t*>(&packet)[kRtcValueOffset];
    }
    return result;
}

MiscStatus CMiscCommon::WriteRtcRegisterB(uint8_t* pStatus, uint8_t value) {
    RtcRegisterPacket packet = RtcPacket(kMiscWriteRtcRegister, kRtcWriteCommand, value);
    return RegisterExchange(packet, pStatus);
}

MiscStatus CMiscCommon::GetModelNumber(uint8_t* pBuffer, uint32_t* pSize) {
    if (!DriverVersionGate()) {
        return MISC_OLD_DRIVER;
    }
    if (!DeviceIsOpen()) {
        return MISC_NO_DEVICE;
    }
    if (pSize == nullptr || (pBuffer == nullptr && *pSize != 0)) {
        return MISC_MISSING_ARGUMENT;
    }
    uint8_t reply[kModelReplyBytes] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(_hDevice, IOCTL_MISC_GET_MODEL, nullptr, 0, reply, sizeof reply, &returned,
                         nullptr) ||
        returned != sizeof reply) {
        const DWORD error = GetLastError();
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::GetModelNumber: DeviceIoControl failed."));
        SetLastError(error);
        return MISC_PLATFORM_FAILURE;
    }

    const uint32_t longLength = reply[kModelLongLengthOffset];
    if (longLength != 0 && (longLength < kModelShortLength || longLength > kModelLongMaximum)) {
        return MISC_PLATFORM_FAILURE;
    }
    uint8_t model[kModelLongMaximum];
    uint32_t length = kModelShortLength;
    std::memcpy(model, reply + kModelTextOffset, kModelShortLength);
    if (longLength != 0 && *pSize >= kModelLongMaximum + 1) {
        length = longLength;
        std::memcpy(model + 11, reply + kModelLongTailOffset, longLength - 11);
    }
    if (*pSize < length) {
        *pSize = length;
        return MISC_NO_MEMORY;
    }
    std::memcpy(pBuffer, model, length);
    *pSize = length;
    return MISC_SUCCESS;
}

}  // namespace MiscCommon
