// The console's command line: any arguments (split at NUL bytes) are
// either options or one line of usage error.
#include <vector>

#include "fuzz/FuzzWorld.h"
#include "main/Options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    std::vector<std::string> args;
    std::string_view text = fuzz::textOf(data, size);
    while (!text.empty()) {
        const size_t end = text.find('\0');
        args.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    const entry::ParseResult parsed = entry::parseOptions(args);
    fuzz::require(parsed.error.find('\n') == std::string::npos);
    return 0;
}
