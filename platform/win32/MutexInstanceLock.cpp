#include "platform/win32/MutexInstanceLock.h"

#include <windows.h>

#include "platform/Format.h"

namespace kv::platform::win32 {

MutexInstanceLock::MutexInstanceLock(std::string name) : name_(std::move(name)) {}

MutexInstanceLock::~MutexInstanceLock() { release(); }

Result<LockState> MutexInstanceLock::create() {
    release();
    // Default security, not owned: the mutex only marks that a tool runs.
    handle_ = ::CreateMutexA(nullptr, FALSE, name_.c_str());
    const DWORD error = ::GetLastError();
    if (handle_) return error == ERROR_ALREADY_EXISTS ? LockState::Held : LockState::Taken;
    // Made by another user's tool with rights this one lacks: a named mutex
    // exists only while a holder keeps it open.
    if (error == ERROR_ACCESS_DENIED) return LockState::Held;
    return Failure{formatted("cannot create the mutex \"%s\": error %lu", name_.c_str(),
                             static_cast<unsigned long>(error))};
}

void MutexInstanceLock::release() {
    if (handle_) {
        ::CloseHandle(handle_);
        handle_ = nullptr;
    }
}

}  // namespace kv::platform::win32
