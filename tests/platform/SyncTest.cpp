// Named mutexes (per thread, recursive, machine-wide, freed with their owner)
// and events.
#include "TestSupport.h"

#include "platform/sync.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

class SyncTest : public ::testing::Test {
protected:
    vextest::TempRoot root;
};

TEST_F(SyncTest, NamedMutexIsRecursiveForItsOwnerAndExclusiveForOthers) {
    NamedMutex mutex("TestMutex");
    ASSERT_TRUE(mutex.IsValid());
    ASSERT_EQ(WaitResult::Signaled, mutex.Wait());
    ASSERT_EQ(WaitResult::Signaled, mutex.Wait(0));

    NamedMutex other("TestMutex"); // a second handle of the same name
    std::thread([&] {
        EXPECT_EQ(WaitResult::Timeout, other.Wait(20));
        EXPECT_FALSE(other.Release()); // not its owner
    }).join();

    EXPECT_TRUE(mutex.Release());
    std::thread([&] { EXPECT_EQ(WaitResult::Timeout, other.Wait(20)); }).join(); // still held once
    EXPECT_TRUE(mutex.Release());
    EXPECT_FALSE(mutex.Release());
    std::thread([&] {
        EXPECT_EQ(WaitResult::Signaled, other.Wait(1000));
        EXPECT_TRUE(other.Release());
    }).join();
}

TEST_F(SyncTest, BadNamesAreRefused) {
    NamedMutex mutex("a/b");
    EXPECT_FALSE(mutex.IsValid());
    EXPECT_EQ(WaitResult::Failed, mutex.Wait(0));
}

// Takes the mutex, says so through a file, then holds it until killed.
VEX_TEST_HELPER(hold_mutex) {
    NamedMutex mutex("Held");
    if (mutex.Wait() != WaitResult::Signaled)
        return 1;
    vextest::WriteFile(args.at(0), "owned");
    for (;;)
        ::pause();
}

TEST_F(SyncTest, NamedMutexIsMachineWideAndFreedWhenItsOwnerDies) {
    std::string flag = root.Path() + "/owned";
    pid_t pid = vextest::StartHelper("hold_mutex", {flag});
    ASSERT_TRUE(vextest::WaitFor([&] { return std::filesystem::exists(flag); }));
    NamedMutex mutex("Held");
    EXPECT_EQ(WaitResult::Timeout, mutex.Wait(50));
    ::kill(pid, SIGKILL);
    vextest::WaitHelper(pid);
    EXPECT_EQ(WaitResult::Signaled, mutex.Wait(5000));
    EXPECT_TRUE(mutex.Release());
}

TEST_F(SyncTest, AutomaticResetEventReleasesOneWaitAndResets) {
    Event event(false, false);
    EXPECT_EQ(WaitResult::Timeout, event.Wait(0));
    event.Set();
    EXPECT_EQ(WaitResult::Signaled, event.Wait(0));
    EXPECT_FALSE(event.IsSet());
    EXPECT_EQ(WaitResult::Timeout, event.Wait(0));

    std::thread waiter([&] { EXPECT_EQ(WaitResult::Signaled, event.Wait(5000)); });
    event.Set();
    waiter.join();
}

TEST_F(SyncTest, ManualResetEventStaysSetUntilReset) {
    Event event(true, true);
    EXPECT_EQ(WaitResult::Signaled, event.Wait(0));
    EXPECT_EQ(WaitResult::Signaled, event.Wait(0));
    event.Reset();
    EXPECT_EQ(WaitResult::Timeout, event.Wait(10));
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] { EXPECT_EQ(WaitResult::Signaled, event.Wait(5000)); });
    event.Set();
    for (auto& t : waiters)
        t.join();
}

} // namespace
