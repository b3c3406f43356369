#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// One flash as the history keeps it.
struct FlashRecord {
    std::string id;
    // Calendar times, milliseconds since 1970 (UTC); end 0 while running.
    int64_t startMs = 0;
    int64_t endMs = 0;
    uint64_t durationMs = 0;
    std::string program;
    // The run of many printers the flash was part of; empty for one of its own.
    std::string fleet;
    // "USB", "LPT1".."LPT3", "ETHERNET"; the device path, port or A.B.C.D:PORT.
    std::string link;
    std::string address;
    std::string model;
    std::string logicBoard;
    std::string serial;
    std::string firmwareBefore;
    std::string firmwareAfter;
    std::string imagePath;
    uint64_t imageSize = 0;
    std::string imageSha256;
    std::string imageVersion;
    uint64_t bytesSent = 0;
    // "verified", "mismatch", "not-found", "unchecked", "failed"; empty while
    // running.
    std::string outcome;
    std::string detail;
    std::vector<std::string> boxes;
};

}  // namespace kv
