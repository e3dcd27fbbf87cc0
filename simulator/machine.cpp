#include "simulator/machine.h"

#include <utility>

namespace QuenwickSim {

namespace {

const std::pair<Fault, const char*> kNames[] = {
    {Fault::kWrongProof, "wrong-proof"},
    {Fault::kWrongConfirmation, "wrong-confirmation"},
    {Fault::kShortIni1, "short-ini1"},
    {Fault::kShortIni2, "short-ini2"},
    {Fault::kShortIni3, "short-ini3"},
    {Fault::kShortCapsule, "short-capsule"},
    {Fault::kOverlongCapsule, "overlong-capsule"},
    {Fault::kShortModel, "short-model"},
    {Fault::kReadFails, "read-fails"},
    {Fault::kWriteFails, "write-fails"},
    {Fault::kWriteRejected, "write-rejected"},
    {Fault::kWriteIgnored, "write-ignored"},
};

}  // namespace

const char* FaultName(Fault f) {
    for (const auto& [fault, name] : kNames) {
        if (fault == f) {
            return name;
        }
    }
    return "?";
}

std::optional<Fault> FaultFromName(const std::string& name) {
    for (const auto& [fault, text] : kNames) {
        if (name == text) {
            return fault;
        }
    }
    return std::nullopt;
}

const std::set<Fault>& AllFaults() {
    static const std::set<Fault> all = [] {
        std::set<Fault> s;
        for (const auto& entry : kNames) {
            s.insert(entry.first);
        }
        return s;
    }();
    return all;
}

}  // namespace QuenwickSim
