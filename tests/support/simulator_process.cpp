#include "tests/support/simulator_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

std::string BuiltProgram(const std::string& name) {
    return std::string(TOLLVANE_BIN_DIR) + "/" + name;
}

SimulatorProcess::SimulatorProcess(const std::string& root,
                                   const std::vector<std::string>& arguments) {
    int out[2];
    if (pipe(out) != 0) {
        return;
    }
    const std::string program = BuiltProgram("quenwick-sim");
    std::vector<std::string> args = {program, "--root", root};
    args.insert(args.end(), arguments.begin(), arguments.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    FILE* stream = fdopen(out[0], "r");
    char line[512];
    ready_ = stream != nullptr && std::fgets(line, sizeof line, stream) != nullptr &&
             std::strncmp(line, "ready ", 6) == 0;
    if (stream != nullptr) {
        std::fclose(stream);
    }
}

SimulatorProcess::~SimulatorProcess() {
    Stop();
}

int SimulatorProcess::Stop(int signal) {
    if (pid_ <= 0) {
        return -1;
    }
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}
