#pragma once
#include <cstddef>
#include <optional>
#include <string>

namespace kv::platform {

// A journal of every print queue a machine could have fits many times over.
inline constexpr size_t kMaxDurableFileBytes = 256 * 1024;

// One small text file that must survive a crash of the program: it is
// replaced whole, so a reader sees either the old content or the new one.
class DurableFile {
public:
    virtual ~DurableFile() = default;
    virtual bool exists() = 0;
    // The content; nothing when it does not exist, cannot be read, is no
    // regular file (or is a link) or holds more than kMaxDurableFileBytes.
    virtual std::optional<std::string> read() = 0;
    // Replaces the content, on disk before it returns. False on failure, with
    // the old content (or none) left in place.
    [[nodiscard]] virtual bool replace(const std::string& content) = 0;
    // True when the file is gone afterwards (also when there was none).
    [[nodiscard]] virtual bool remove() = 0;
    // Where it lives, for messages.
    virtual std::string location() = 0;
};

}  // namespace kv::platform
