#include "platform/win32/MutexInstanceLock.h"

#include <windows.h>

namespace kv::platform::win32 {

MutexInstanceLock::MutexInstanceLock(std::string name) : name_(std::move(name)) {}

MutexInstanceLock::~MutexInstanceLock() { release(); }

uint32_t MutexInstanceLock::create() {
    release();
    // Default security, not owned: the mutex only marks that a tool runs.
    handle_ = ::CreateMutexA(nullptr, FALSE, name_.c_str());
    const DWORD error = ::GetLastError();
    if (!handle_) return error != 0 ? error : ERROR_INVALID_HANDLE;
    return error == ERROR_ALREADY_EXISTS ? kErrorAlreadyExists : 0;
}

void MutexInstanceLock::release() {
    if (handle_) {
        ::CloseHandle(handle_);
        handle_ = nullptr;
    }
}

}  // namespace kv::platform::win32
