#include "tests/support/child_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        for (const std::string& e : environment) {
            putenv(const_cast<char*>(e.c_str()));
        }
        std::vector<std::string> args = {program};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    outputFd_ = out[0];
}

ChildProcess::~ChildProcess() {
    if (status_ < 0 && pid_ > 0) {
        kill(pid_, SIGKILL);
        Finish();
    }
    if (outputFd_ >= 0) {
        close(outputFd_);
    }
}

void ChildProcess::Write(const std::string& text) {
    if (input_ >= 0) {
        (void)!write(input_, text.data(), text.size());
    }
}

void ChildProcess::CloseInput() {
    if (input_ >= 0) {
        close(input_);
        input_ = -1;
    }
}

bool ChildProcess::ReadSome(int timeoutMs) {
    pollfd fd{outputFd_, POLLIN, 0};
    if (outputFd_ < 0 || poll(&fd, 1, timeoutMs) <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t n = read(outputFd_, buffer, sizeof buffer);
    if (n <= 0) {
        close(outputFd_);
        outputFd_ = -1;
        return false;
    }
    output_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (output_.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (!ReadSome(static_cast<int>(left.count())) && outputFd_ < 0)) {
            return output_.find(text) != std::string::npos;
        }
    }
    return true;
}

int ChildProcess::Finish() {
    CloseInput();
    while (outputFd_ >= 0) {
        ReadSome(30000);
    }
    if (status_ < 0 && pid_ > 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return status_;
}

void ChildProcess::Kill(int signal) {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}
