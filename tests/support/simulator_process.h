// Runs the real quenwick-sim as a child process for a test.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/child_process.h"

class SimulatorProcess {
public:
    // Starts quenwick-sim with --root and the arguments, and waits until it says it is ready.
    SimulatorProcess(const std::string& root, const std::vector<std::string>& arguments);
    // Stops it with SIGTERM if it still runs.
    ~SimulatorProcess() { Stop(); }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool Ready() const { return ready_; }
    // Sends the signal and waits: the exit code, or 128 + the signal that ended it.
    int Stop(int signal = 15);
    pid_t Pid() const { return process_.Pid(); }

private:
    ChildProcess process_;
    bool ready_ = false;
    int status_ = -1;
};

// The path of a program built beside the tests.
std::string BuiltProgram(const std::string& name);
