#include "simulator/quenwick_driver.h"

#include <cstring>

#include "crypto/big_int.h"
#include "crypto/secure_zero.h"
#include "crypto/sha1.h"
#include "driver_client/group_prime.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/pre_shared_key.h"
#include "driver_client/wire_records.h"
#include "platform/win32.h"

namespace QuenwickSim {

using namespace MiscCommon;

namespace {

constexpr uint32_t kNumberBytes = 4 * kBigNumberWords;

Reply Fail(uint32_t error) {
    return {false, error, {}};
}

Reply Succeed(std::vector<uint8_t> output) {
    return {true, 0, std::move(output)};
}

template <typename T>
std::vector<uint8_t> BytesOf(const T& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(p, p + sizeof record);
}

uint32_t LoadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void StoreU32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// A public value must lie strictly between 1 and p - 1.
bool ValidPublicValue(const uint32_t* value) {
    BigInt v, p, one, pMinusOne;
    v.SetWords(value, kBigNumberWords);
    p.SetWords(kGroupPrime, kBigNumberWords);
    one.SetInt(1);
    Subtract(p, one, pMinusOne);
    return v.IsGreater(one) && v.IsLess(pMinusOne);
}

void PreSharedKey(uint8_t* key) {
    uint8_t block[kKeyBlockBytes];
    AssembleKeyBlock(block);
    std::memcpy(key, block + kPreSharedKeyOffset, kPreSharedKeyBytes);
    SecureZero(block, sizeof block);
}

void Hmac(const uint8_t* key, uint32_t keyLength, const uint8_t* a, const uint8_t* b,
          uint32_t partBytes, uint8_t* out) {
    std::vector<uint8_t> message(a, a + partBytes);
    message.insert(message.end(), b, b + partBytes);
    Sha1Context c;
    hmac_sha1(&c, key, keyLength, message.data(), static_cast<uint32_t>(message.size()), out);
}

uint32_t BlockCount(uint32_t sizeCapsule) {
    return (sizeCapsule - kCapsuleOverheadBytes) / 8;
}

}  // namespace

DriverConnection::Session::~Session() {
    SecureZero(K1, sizeof K1);
    SecureZero(KEK, sizeof KEK);
    SecureZero(&cipher, sizeof cipher);
}

DriverConnection::DriverConnection(MachineState& state)
    : state_(state),
      random_(state.machine.seed != 0 ? state.machine.seed : std::random_device{}()) {}

DriverConnection::~DriverConnection() = default;

Reply DriverConnection::Handle(uint32_t code, const std::vector<uint8_t>& input,
                               uint32_t capacity) {
    switch (code) {
        case IOCTL_MISC_SESSION:
            return SessionRequest(input, capacity);
        case IOCTL_MISC_CLOSE_SESSION:
            return CloseSession(input);
        case IOCTL_MISC_CAPSULE:
            return Capsule(input, capacity);
        case IOCTL_MISC_GET_MODEL:
            return Model(input, capacity);
        default:
            return Fail(ERROR_INVALID_FUNCTION);
    }
}

Reply DriverConnection::SessionRequest(const std::vector<uint8_t>& input, uint32_t capacity) {
    if (state_.machine.plainMode) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    if (input.empty()) {
        return Succeed({});  // the probe: sessions are supported
    }
    if (input.size() < 4) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    switch (LoadU32(input.data())) {
        case kTagIni1:
            return Ini1(input, capacity);
        case kTagIni2:
            return Ini2(input, capacity);
        case kTagIni3:
            return Ini3(input, capacity);
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }
}

Reply DriverConnection::Ini1(const std::vector<uint8_t>& input, uint32_t capacity) {
    Ini1Request request;
    if (input.size() != sizeof request || capacity < sizeof(Ini1Reply)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::memcpy(&request, input.data(), sizeof request);
    if (!ValidPublicValue(request.A)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }

    auto session = std::make_unique<Session>();
    // 96 random bits and a zero top word, as the client draws its own: the exponent reads as
    // non-negative, so B = 2^y mod p and the shared secret depends on both exponents.
    uint32_t y[4] = {};
    do {
        for (uint32_t i = 0; i < 3; ++i) {
            y[i] = NextWord();
        }
    } while ((y[0] | y[1] | y[2]) == 0);
    Ini1Reply reply = {};
    do {
        reply.sessionId = NextWord();
    } while (reply.sessionId == 0 || sessions_.count(reply.sessionId) != 0);
    for (uint8_t& b : reply.Nb) {
        b = static_cast<uint8_t>(NextWord());
    }
    // The driver checks its own public value as it checks the client's.
    uint32_t K[kBigNumberWords] = {};
    const bool computed =
        pow2mod(reply.B, kBigNumberWords, y, 4, kGroupPrime, kBigNumberWords) &&
        ValidPublicValue(reply.B) &&
        powmod(K, kBigNumberWords, request.A, kBigNumberWords, y, 4, kGroupPrime, kBigNumberWords);
    SecureZero(y, sizeof y);
    if (!computed) {
        SecureZero(K, sizeof K);
        return Fail(ERROR_GEN_FAILURE);
    }

    Sha1Context sha;
    uint8_t digest[20];
    sha1_init(&sha);
    sha1_update(&sha, reinterpret_cast<const uint8_t*>(K), kNumberBytes);
    sha1_final(&sha);
    sha1_result(&sha, digest);
    std::memcpy(session->KEK, digest, sizeof session->KEK);
    SecureZero(K, sizeof K);
    SecureZero(digest, sizeof digest);

    uint8_t key[kPreSharedKeyBytes];
    PreSharedKey(key);
    Hmac(key, sizeof key, request.Na, reply.Nb, kNonceBytes, session->K1);
    SecureZero(key, sizeof key);

    std::memcpy(session->A, request.A, kNumberBytes);
    std::memcpy(session->B, reply.B, kNumberBytes);
    session->stage = 1;
    sessions_[reply.sessionId] = std::move(session);

    std::vector<uint8_t> out = BytesOf(reply);
    if (state_.machine.Has(Fault::kShortIni1)) {
        out.pop_back();
    }
    return Succeed(out);
}

Reply DriverConnection::Ini2(const std::vector<uint8_t>& input, uint32_t capacity) {
    Ini2Request request;
    if (input.size() != sizeof request || capacity < 20) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::memcpy(&request, input.data(), sizeof request);
    const auto it = sessions_.find(request.sessionId);
    if (it == sessions_.end() || it->second->stage != 1) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Session& s = *it->second;
    uint8_t expected[20];
    Hmac(s.K1, sizeof s.K1, reinterpret_cast<const uint8_t*>(s.A),
         reinterpret_cast<const uint8_t*>(s.B), kNumberBytes, expected);
    if (std::memcmp(expected, request.proof, sizeof expected) != 0) {
        sessions_.erase(it);  // a client without the key gets no session
        return Fail(ERROR_ACCESS_DENIED);
    }
    std::vector<uint8_t> proof(20);
    Hmac(s.K1, sizeof s.K1, reinterpret_cast<const uint8_t*>(s.B),
         reinterpret_cast<const uint8_t*>(s.A), kNumberBytes, proof.data());
    if (state_.machine.Has(Fault::kWrongProof)) {
        proof.back() ^= 0x01;
    }
    if (state_.machine.Has(Fault::kShortIni2)) {
        proof.pop_back();
    }
    s.stage = 2;
    return Succeed(proof);
}

Reply DriverConnection::Ini3(const std::vector<uint8_t>& input, uint32_t capacity) {
    Ini3Request request;
    if (input.size() != sizeof request || capacity < 8) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::memcpy(&request, input.data(), sizeof request);
    const auto it = sessions_.find(request.sessionId);
    if (it == sessions_.end() || it->second->stage != 2) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Session& s = *it->second;
    BlowfishInitialize(&s.cipher, s.KEK, sizeof s.KEK);
    BlowfishDecipher(&s.cipher, &request.key[0], &request.key[1]);
    BlowfishDecipher(&s.cipher, &request.key[2], &request.key[3]);
    BlowfishInitialize(&s.cipher, reinterpret_cast<const uint8_t*>(request.key), 16);
    SecureZero(request.key, sizeof request.key);

    uint32_t block[2] = {kTagAuth, kTagMisc};
    BlowfishEncipher(&s.cipher, &block[0], &block[1]);
    if (state_.machine.Has(Fault::kWrongConfirmation)) {
        block[1] ^= 0x00010000;
    }
    std::vector<uint8_t> out = BytesOf(block);
    if (state_.machine.Has(Fault::kShortIni3)) {
        out.pop_back();
    }
    s.stage = 3;
    s.expectedSequence = 0;
    return Succeed(out);
}

Reply DriverConnection::CloseSession(const std::vector<uint8_t>& input) {
    if (input.size() != 4) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    sessions_.erase(LoadU32(input.data()));
    return Succeed({});
}

Reply DriverConnection::Capsule(const std::vector<uint8_t>& input, uint32_t capacity) {
    if (input.size() < kCapsuleOverheadBytes) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::vector<uint8_t> capsule = input;
    const uint32_t sizePayload = LoadU32(&capsule[0]);
    const uint32_t sizeCapsule = LoadU32(&capsule[4]);
    const uint32_t sessionId = LoadU32(&capsule[8]);
    if (sizeCapsule != capsule.size() || sizeCapsule % 8 != 0 ||
        sizePayload > sizeCapsule - kCapsuleOverheadBytes) {
        return Fail(ERROR_INVALID_PARAMETER);
    }

    Session* session = nullptr;
    if (!state_.machine.plainMode) {
        const auto it = sessions_.find(sessionId);
        if (it == sessions_.end() || it->second->stage != 3) {
            return Fail(ERROR_ACCESS_DENIED);
        }
        session = it->second.get();
        for (uint32_t i = 0; i < BlockCount(sizeCapsule); ++i) {
            uint32_t* words = reinterpret_cast<uint32_t*>(&capsule[kCapsuleHeaderBytes + 8 * i]);
            BlowfishDecipher(&session->cipher, &words[0], &words[1]);
        }
    } else if (sessionId != 0) {
        return Fail(ERROR_ACCESS_DENIED);
    }

    EncapsuledRequest request;
    if (sizePayload < sizeof request + 4) {
        return Fail(ERROR_INVALID_DATA);
    }
    std::memcpy(&request, &capsule[kCapsuleHeaderBytes], sizeof request);
    if (request.sizeRequest != sizePayload || request.ioControlCode != IOCTL_MISC_FUNCTION ||
        request.sizeIn > sizePayload - kEncapsuledRequestOverheadBytes ||
        request.sizeIn + kEncapsuledRequestOverheadBytes != request.sizeRequest) {
        return Fail(ERROR_INVALID_DATA);
    }
    // The sequence: each request carries the count of earlier ones this session answered.
    uint32_t& expected = session != nullptr ? session->expectedSequence : plainSequence_;
    if (request.sequence != expected) {
        return Fail(ERROR_INVALID_DATA);
    }
    const uint32_t replyRoom = kCapsuleOverheadBytes + (request.sizeOut + 7) / 8 * 8;
    if (capacity < replyRoom) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }

    const auto* data = &capsule[kCapsuleHeaderBytes + sizeof request];
    bool deviceFailure = false;
    std::vector<uint8_t> answer = MiscFunction(std::vector<uint8_t>(data, data + request.sizeIn),
                                               request.sizeOut, deviceFailure);
    if (deviceFailure) {
        return Fail(ERROR_GEN_FAILURE);  // no bytes: the client keeps its sequence number too
    }
    ++expected;

    uint32_t claimedPayload = static_cast<uint32_t>(answer.size());
    if (state_.machine.Has(Fault::kOverlongCapsule)) {
        claimedPayload = request.sizeOut + 8;
        answer.resize(claimedPayload, 0);
    }
    const uint32_t replyBytes = kCapsuleOverheadBytes + (claimedPayload + 7) / 8 * 8;
    std::vector<uint8_t> reply(replyBytes, 0);
    StoreU32(&reply[0], claimedPayload);
    StoreU32(&reply[4], replyBytes);
    StoreU32(&reply[8], sessionId);
    std::memcpy(&reply[kCapsuleHeaderBytes], answer.data(), answer.size());
    if (session != nullptr) {
        for (uint32_t i = 0; i < BlockCount(replyBytes); ++i) {
            uint32_t* words = reinterpret_cast<uint32_t*>(&reply[kCapsuleHeaderBytes + 8 * i]);
            BlowfishEncipher(&session->cipher, &words[0], &words[1]);
        }
    }
    if (reply.size() > capacity) {
        reply.resize(capacity);  // an overlong reply is cut to the room offered
    }
    if (state_.machine.Has(Fault::kShortCapsule)) {
        reply.resize(11);
    }
    return Succeed(reply);
}

std::vector<uint8_t> DriverConnection::MiscFunction(const std::vector<uint8_t>& packet,
                                                    uint32_t sizeOut, bool& deviceFailure) {
    // The answer starts as the request, so bytes it does not set come back as they went.
    std::vector<uint8_t> answer(sizeOut, 0);
    std::memcpy(answer.data(), packet.data(), std::min<size_t>(packet.size(), sizeOut));
    if (packet.size() < sizeof(MiscPacketHeader) || sizeOut < 1) {
        if (!answer.empty()) {
            answer[0] = 1;
        }
        return answer;
    }
    uint16_t function;
    std::memcpy(&function, packet.data(), sizeof function);
    if (state_.busyLeft > 0) {
        --state_.busyLeft;
        answer[0] = kMiscStatusBusy;
        return answer;
    }

    uint8_t status = 1;
    const bool registerPacket = packet.size() >= sizeof(RtcRegisterPacket) &&
                                sizeOut >= kRtcValueOffset + 1 && LoadU32(&packet[8]) == kRtcPort &&
                                LoadU32(&packet[12]) == kRtcRegisterB;
    switch (function) {
        case kMiscReadRtcRegister:
            if (registerPacket && LoadU32(&packet[16]) == kRtcReadCommand &&
                !state_.machine.Has(Fault::kReadFails)) {
                answer[kRtcValueOffset] = state_.cmos.LoadRegisterB();
                status = 0;
            }
            break;
        case kMiscWriteRtcRegister:
            if (!registerPacket || LoadU32(&packet[16]) != kRtcWriteCommand) {
                break;
            }
            if (state_.machine.Has(Fault::kWriteRejected)) {
                deviceFailure = true;
                break;
            }
            if (state_.machine.Has(Fault::kWriteFails)) {
                break;
            }
            if (state_.machine.Has(Fault::kWriteIgnored) ||
                state_.cmos.StoreRegisterB(packet[kRtcValueOffset])) {
                status = 0;
                state_.registerWrites += state_.machine.Has(Fault::kWriteIgnored) ? 0 : 1;
            }
            break;
        case kMiscPlatformInformation:
            if (sizeOut >= kPlatformPacketBytes) {
                answer[kPlatformValueOffset] = state_.machine.platformInformation;
                status = 0;
            }
            break;
        default:
            break;
    }
    answer[0] = status;
    return answer;
}

Reply DriverConnection::Model(const std::vector<uint8_t>& input, uint32_t capacity) {
    if (!input.empty() || capacity < kModelReplyBytes) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::vector<uint8_t> reply(kModelReplyBytes, 0);
    const std::string& model = state_.machine.model;
    std::memcpy(&reply[kModelTextOffset], model.data(), std::min<size_t>(model.size(), 12));
    if (model.size() > kModelShortLength) {
        const size_t length = std::min<size_t>(model.size(), kModelLongMaximum);
        reply[kModelLongLengthOffset] = static_cast<uint8_t>(length);
        std::memcpy(&reply[kModelLongTailOffset], model.data() + 11, length - 11);
    }
    if (state_.machine.modelLengthByte) {
        reply[kModelLongLengthOffset] = *state_.machine.modelLengthByte;
    }
    if (state_.machine.Has(Fault::kShortModel)) {
        reply.pop_back();
    }
    return Succeed(reply);
}

}  // namespace QuenwickSim
