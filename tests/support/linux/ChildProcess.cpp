#include "tests/support/linux/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tests/support/Files.h"

extern char** environ;

namespace kv::testing {

namespace {

bool named(const char* entry, const std::string& name) {
    return std::strncmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == '=';
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment,
                           const std::string& folder, Output output)
    : outPath_(folder + "/child.out"), errPath_(folder + "/child.err") {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const bool dropped = std::any_of(kDisplayVariables.begin(), kDisplayVariables.end(),
                                         [e](const std::string& n) { return named(*e, n); }) ||
                             std::any_of(environment.begin(), environment.end(),
                                         [e](const auto& kv) { return named(*e, kv.first); });
        if (!dropped) env.emplace_back(*e);
    }
    for (const auto& [name, value] : environment) env.push_back(name + "=" + value);

    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int pipeEnds[2] = {-1, -1};
    if (output == Output::Pipe && ::pipe2(pipeEnds, O_CLOEXEC) == 0) {
        ::fcntl(pipeEnds[0], F_SETPIPE_SZ, 4096);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        outPipe_ = pipeEnds[0];
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    // The child starts with no signal blocked, whatever this thread blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    if (posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0) ::close(pipeEnds[1]);
    if (pid_ > 0) pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !code_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (pidfd_ >= 0) ::close(pidfd_);
    if (outPipe_ >= 0) ::close(outPipe_);
}

void ChildProcess::signal(int signalNumber) {
    if (pid_ > 0 && !code_) ::kill(pid_, signalNumber);
}

std::optional<int> ChildProcess::waitFor(std::chrono::milliseconds bound) {
    if (code_ || pid_ <= 0) return code_;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    const auto left = [&] {
        return static_cast<int>(
            std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now())
                                     .count()));
    };
    // A piped child may be waiting for its output to be read.
    while (outPipe_ >= 0 && readSome(left())) {
        if (left() == 0) return std::nullopt;
    }
    pollfd ended{pidfd_, POLLIN, 0};
    if (pidfd_ < 0 || ::poll(&ended, 1, left()) <= 0) return std::nullopt;
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_) return std::nullopt;
    code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return code_;
}

bool ChildProcess::readSome(int ms) {
    pollfd readable{outPipe_, POLLIN, 0};
    if (::poll(&readable, 1, ms) <= 0) return true;
    char buffer[4096];
    const ssize_t n = ::read(outPipe_, buffer, sizeof buffer);
    if (n <= 0) return false;
    outRead_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool ChildProcess::readOutUntil(const std::string& prefix, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (outPipe_ >= 0) {
        if (outRead_.rfind(prefix, 0) == 0 || outRead_.find("\n" + prefix) != std::string::npos) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) return false;
    }
    return false;
}

std::string ChildProcess::out() const { return outPipe_ >= 0 ? outRead_ : readFile(outPath_); }
std::string ChildProcess::err() const { return readFile(errPath_); }

}  // namespace kv::testing
