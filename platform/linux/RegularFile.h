#pragma once
#include <cstdint>
#include <string>
#include <utility>

namespace kv::platform::linux_impl {

// A file descriptor, closed when it goes out of scope.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { (void)close(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // For the callers that must know a written file's close went well.
    [[nodiscard]] bool close();

private:
    int fd_ = -1;
};

enum class Links {
    // A symbolic link in the file's place is refused (ELOOP).
    Refused,
    Followed,
};

struct RegularFile {
    // Invalid when refused.
    Descriptor fd;
    // Its size at the open.
    uint64_t size = 0;
    // Then the errno of the step that failed, or 0 for a file that is there
    // but is no regular file.
    int error = 0;
};

// Opens only a regular file. The open never waits (a FIFO with no writer, a
// device), and the file is judged on the descriptor, so nothing can be
// swapped in between. O_NONBLOCK stays set: regular files ignore it. A
// file that O_CREAT makes gets `mode` (less the umask).
RegularFile openRegular(const std::string& path, int flags, Links links, unsigned mode = 0600);

}  // namespace kv::platform::linux_impl
