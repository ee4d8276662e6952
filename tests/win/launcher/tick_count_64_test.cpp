// The launcher's stand-in for GetTickCount64, linked into this program as into the launcher: the
// threads runtime's timed waits call through it, and it answers as the system's own function.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

TEST(TickCount64StandIn, AnswersAsTheSystemsOwnAndServesTimedWaits) {
    auto system = reinterpret_cast<TickCount64Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    ASSERT_NE(system, nullptr);
    const ULONGLONG before = system();
    const ULONGLONG standIn = GetTickCount64();  // through the import slot the stand-in defines
    const ULONGLONG after = system();
    EXPECT_GE(standIn, before);
    EXPECT_LE(standIn, after);

    // A timed wait of the threads runtime measures its time with it.
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(mutex);
    const ULONGLONG start = system();
    EXPECT_EQ(never.wait_for(lock, std::chrono::milliseconds(200)), std::cv_status::timeout);
    EXPECT_GE(system() - start, 150u);
}

}  // namespace
