#pragma once
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/DurableFile.h"

namespace kv::platform::sim {

// A DurableFile held in memory, with switches to make writing or removing fail.
class MemoryFile final : public DurableFile {
public:
    explicit MemoryFile(std::string location = "memory:journal") : location_(std::move(location)) {}

    bool exists() override;
    std::optional<std::string> read() override;
    bool replace(const std::string& content) override;
    bool remove() override;
    std::string location() override { return location_; }

    void setContent(std::optional<std::string> content);
    std::optional<std::string> content() const;
    void setFailReplace(bool fail);
    void setFailRemove(bool fail);
    // Every content written, in order.
    std::vector<std::string> history() const;

private:
    mutable std::mutex mutex_;
    std::string location_;
    std::optional<std::string> content_;
    bool failReplace_ = false;
    bool failRemove_ = false;
    std::vector<std::string> history_;
};

}  // namespace kv::platform::sim
