#include "platform/win32/Win32Threads.h"

#include <windows.h>

#include <memory>

namespace kv::platform::win32 {

namespace {

struct Start {
    std::function<void()> body;
};

DWORD WINAPI threadEntry(void* arg) {
    std::unique_ptr<Start> start(static_cast<Start*>(arg));
    start->body();
    return 0;
}

}  // namespace

size_t Win32Threads::imageStackReserve() {
    const auto* base = reinterpret_cast<const unsigned char*>(::GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return static_cast<size_t>(nt->OptionalHeader.SizeOfStackReserve);
}

bool Win32Threads::startDetached(std::function<void()> body, const ThreadOptions& options) {
    if (!body) return false;
    auto start = std::make_unique<Start>(Start{std::move(body)});
    // The size given is the commit, unless the image's reservation would be
    // smaller than asked: then it is the reservation itself.
    const bool reserveAsked = imageStackReserve() < options.stackBytes;
    const SIZE_T size = reserveAsked ? options.stackBytes : kStackCommitBytes;
    const DWORD flags = CREATE_SUSPENDED | (reserveAsked ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0);
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, size, threadEntry, start.get(), flags, &id);
    if (!thread) return false;
    start.release();  // the thread owns it now
    if (options.aboveNormalPriority) ::SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    ::ResumeThread(thread);
    ::CloseHandle(thread);
    return true;
}

Win32Threads::Facts Win32Threads::currentThreadFacts() {
    Facts facts;
    // The reservation the current frame lies in, walked region by region:
    // guard page, committed part and the part not yet committed.
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQuery(&region, &region, sizeof region) == sizeof region) {
        const auto* base = static_cast<const char*>(region.AllocationBase);
        const char* at = base;
        MEMORY_BASIC_INFORMATION part{};
        while (::VirtualQuery(at, &part, sizeof part) == sizeof part &&
               part.AllocationBase == region.AllocationBase && part.RegionSize > 0) {
            at += part.RegionSize;
        }
        facts.stackReserve = static_cast<size_t>(at - base);
    }
    facts.priority = ::GetThreadPriority(::GetCurrentThread());
    return facts;
}

}  // namespace kv::platform::win32
