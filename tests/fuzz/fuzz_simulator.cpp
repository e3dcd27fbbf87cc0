// Hostile client frames against the simulated driver's request handling. Input: one byte of
// machine set-up, then frames: code selector, capacity, input length, input bytes.
#include <cstdio>
#include <cstdlib>

#include "simulator/quenwick_driver.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint32_t kCodes[] = {0x222000, 0x222004, 0x222008, 0x222940, 0x222944, 0};
    FuzzInput in(data, size);
    QuenwickSim::Machine machine;
    const uint8_t setup = in.Byte();
    machine.plainMode = setup & 1;
    machine.busyReplies = (setup >> 1) & 3;
    machine.seed = 1;
    if (setup & 0x10) {
        machine.faults.insert(QuenwickSim::Fault::kOverlongCapsule);
    }
    QuenwickSim::CmosMemory cmos(in.Byte());
    QuenwickSim::MachineState state(machine, cmos);
    QuenwickSim::DriverConnection connection(state);
    for (int frame = 0; frame < 16 && !in.Empty(); ++frame) {
        const uint8_t selector = in.Byte();
        const uint32_t code = selector < 6 * 40 ? kCodes[selector % 6] : in.U32();
        const uint32_t capacity = in.U16();
        const std::vector<uint8_t> input = in.Bytes(in.U16() % 512);
        const QuenwickSim::Reply reply = connection.Handle(code, input, capacity);
        if (reply.output.size() > capacity) {
            std::fprintf(stderr, "reply of %zu bytes for %u of room\n", reply.output.size(),
                         capacity);
            std::abort();
        }
    }
    return 0;
}
