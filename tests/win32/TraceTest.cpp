#include <gtest/gtest.h>

#include "platform/win32/DebugStringTrace.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

// The line reaches the system's debug-string service whole; the Linux
// side reads it back from Wine's debugstr channel.
TEST(DebugStringTrace, WritesEachLineToTheDebugStringService) {
    const auto line = environment("KVTEST_TRACE_LINE");
    if (!line) GTEST_SKIP() << "the Linux side (tests/wine) checks what Wine saw";
    platform::win32::DebugStringTrace trace;
    trace.write(*line + "\r\n");
    platform::tracef(trace,
                     "CreateSingleInstance = m_dwLastError = %X, ERROR_ALREADY_EXISTS = %X\r\n",
                     183u, 183u);
}

}  // namespace
}  // namespace kv::testing
