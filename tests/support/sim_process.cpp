#include "sim_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace qvlink::test {

SimProcess::SimProcess(const std::vector<std::string>& arguments) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> argvStrings{QVLINK_SIM_PATH};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& s : argvStrings) argv.push_back(s.data());
    argv.push_back(nullptr);
    const int failed = posix_spawn(&pid_, QVLINK_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    stdoutFd_ = pipeFds[0];
    if (failed != 0) throw std::runtime_error("cannot start qvlink-sim");
    devicePath_ = ReadLine();
    if (devicePath_.empty()) throw std::runtime_error("qvlink-sim printed no device");
}

SimProcess::~SimProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (stdoutFd_ >= 0) close(stdoutFd_);
}

std::string SimProcess::ReadLine() {
    for (;;) {
        if (const auto end = buffered_.find('\n'); end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        char chunk[512];
        const ssize_t n = read(stdoutFd_, chunk, sizeof chunk);
        if (n <= 0) {
            std::string rest;
            rest.swap(buffered_);
            return rest;
        }
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

int SimProcess::Wait() {
    for (std::string line = ReadLine(); !line.empty(); line = ReadLine()) verdicts_.push_back(line);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SimProcess::AllVerdicts() const {
    std::string all;
    for (const auto& line : verdicts_) all += line + "\n";
    return all;
}

}  // namespace qvlink::test
