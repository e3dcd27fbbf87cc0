// Runs the utility's flow in-process against a scripted driver, with message boxes answered
// and recorded through the host seam.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/support/host_root.h"
#include "tests/support/scripted_driver.h"

struct ShownBox {
    std::string caption;
    std::string text;
    UINT style;
};

struct FlowOutcome {
    int exitCode;
    std::vector<ShownBox> boxes;
    std::vector<std::string> closed;  // what CloseHandle closed, in order
};

class FlowFixture {
public:
    explicit FlowFixture(uint8_t registerB = 0x03, const char* version = "1.0.8.0");
    ~FlowFixture();

    // Answers every Yes/No box with `answer`, every OK box with IDOK.
    FlowOutcome Run(int answer = IDYES);
    // The text of message id in English, as the catalogue has it.
    static std::string Message(UINT id);
    // Register values written, in order.
    std::vector<uint8_t> Writes() const;
    size_t Reads() const;

    TemporaryHostRoot root;
    ScriptedDriver driver;
    // Runs while the question is shown, before it is answered.
    std::function<void()> onQuestion;
};
