#include "platform/linux/LinuxFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/Ascii.h"

namespace kv::platform::linux_impl {

namespace {
std::string selfExe() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string makeAbsolute(const std::string& argv0) {
    if (argv0.empty()) return selfExe();
    if (argv0.front() == '/') return argv0;
    // A bare name was found through PATH; only the kernel knows where.
    if (argv0.find('/') == std::string::npos) return selfExe();
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return selfExe();
    std::string path = cwd;
    std::string rest = argv0;
    while (rest.rfind("./", 0) == 0) rest.erase(0, 2);
    return path + "/" + rest;
}

}  // namespace

LinuxFiles::LinuxFiles(std::string argv0) : path_(makeAbsolute(argv0)) {}

std::string LinuxFiles::executablePath() { return path_; }

std::vector<std::string> LinuxFiles::binFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                            ::closedir);
    if (!dir) return names;
    // Every entry counts, folders too, as the search of a name pattern sees
    // them ("." and ".." never end in ".bin").
    while (const dirent* entry = ::readdir(dir.get())) {
        if (endsWithIgnoringCase(entry->d_name, ".bin")) names.emplace_back(entry->d_name);
    }
    return names;
}

Result<void> LinuxFiles::fileToOpen(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return Failure{errno == ENOENT || path.empty() ? "no such file" : std::strerror(errno)};
    }
    if (S_ISDIR(st.st_mode)) return Failure{"a folder"};
    if (!S_ISREG(st.st_mode)) return Failure{"not a regular file"};
    // As this program's effective user, who would open it.
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) return Failure{"not readable"};
    return {};
}

namespace {

int descriptorOf(Files::Stream stream) {
    switch (stream) {
        case Files::Stream::Input: return STDIN_FILENO;
        case Files::Stream::Output: return STDOUT_FILENO;
        case Files::Stream::Error: return STDERR_FILENO;
    }
    return STDERR_FILENO;
}

}  // namespace

bool LinuxFiles::isTerminal(Stream stream) const { return ::isatty(descriptorOf(stream)) == 1; }

void LinuxFiles::writeErrorNow(std::string_view text) {
    // One write, and only when the descriptor can take some now.
    pollfd p{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&p, 1, 0) != 1 || (p.revents & POLLOUT) == 0) return;
    (void)!::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace kv::platform::linux_impl
