#include "tests/support/simulator_process.h"

namespace {

std::vector<std::string> WithRoot(const std::string& root, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--root", root});
    return arguments;
}

}  // namespace

std::string BuiltProgram(const std::string& name) {
    return std::string(TOLLVANE_BIN_DIR) + "/" + name;
}

SimulatorProcess::SimulatorProcess(const std::string& root,
                                   const std::vector<std::string>& arguments)
    : process_(BuiltProgram("quenwick-sim"), WithRoot(root, arguments), {}) {
    ready_ = process_.WaitForOutput("ready ") && process_.Output().rfind("ready ", 0) == 0;
}

int SimulatorProcess::Stop(int signal) {
    if (status_ < 0) {
        process_.Kill(signal);
        status_ = process_.Finish();
    }
    return status_;
}
