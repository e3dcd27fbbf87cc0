// A child process with its standard input and output on pipes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts program with the arguments and extra environment entries ("NAME=value").
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Write(const std::string& text);
    void CloseInput();
    // Reads output until it contains `text` or the timeout passes; true when it appeared.
    bool WaitForOutput(const std::string& text, int timeoutMs = 10000);
    // Closes the input, reads the rest of the output and waits: the exit code, or 128 + the
    // signal that ended it.
    int Finish();
    void Kill(int signal);
    const std::string& Output() const { return output_; }
    pid_t Pid() const { return pid_; }

private:
    bool ReadSome(int timeoutMs);

    pid_t pid_ = -1;
    int input_ = -1;
    int outputFd_ = -1;
    std::string output_;
    int status_ = -1;
};
