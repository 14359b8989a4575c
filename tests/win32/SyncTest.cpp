// Named mutexes on kernel mutexes: shared by name, recursive for their owner,
// released only by it, taken over when the owner dies.
#include "platform/sync.h"
#include "Helpers.h"
#include "platform/error.h"

#include <gtest/gtest.h>
#include <thread>

using namespace platform;

namespace {

TEST(SyncTest, AMutexIsSharedByNameAndOwnedPerThread) {
    const std::string csName = win32test::UniqueName("vex-test-mutex");
    NamedMutex first(csName);
    NamedMutex second(csName);
    ASSERT_TRUE(first.IsValid());
    ASSERT_TRUE(second.IsValid());
    ASSERT_EQ(WaitResult::Signaled, first.Wait());
    EXPECT_EQ(WaitResult::Signaled, second.Wait(0)); // the owner may take it again
    WaitResult other = WaitResult::Failed;
    bool bReleased = true;
    std::thread([&] {
        other = second.Wait(50);
        bReleased = first.Release();
    }).join();
    EXPECT_EQ(WaitResult::Timeout, other);
    EXPECT_FALSE(bReleased);
    EXPECT_TRUE(second.Release());
    EXPECT_TRUE(first.Release());
    EXPECT_FALSE(first.Release());
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    std::thread([&] {
        other = second.Wait(0);
        second.Release();
    }).join();
    EXPECT_EQ(WaitResult::Signaled, other);
}

TEST(SyncTest, AMutexWhoseOwnerEndedIsTakenOver) {
    // A thread that ends owning the mutex abandons it, as a process that dies does.
    NamedMutex mutex(win32test::UniqueName("vex-test-abandoned"));
    ASSERT_TRUE(mutex.IsValid());
    std::thread([&] { EXPECT_EQ(WaitResult::Signaled, mutex.Wait()); }).join();
    EXPECT_EQ(WaitResult::Signaled, mutex.Wait(1000));
    EXPECT_TRUE(mutex.Release());
}

TEST(SyncTest, BadNamesAreRefused) {
    for (const std::string& csName :
         {std::string(), std::string("a/b"), std::string(".."), std::string(201, 'x')}) {
        NamedMutex mutex(csName);
        EXPECT_FALSE(mutex.IsValid()) << csName;
        EXPECT_EQ(ERROR_INVALID_NAME, GetLastError()) << csName;
        EXPECT_EQ(WaitResult::Failed, mutex.Wait(0));
    }
}

TEST(SyncTest, AnAutomaticEventReleasesOneWait) {
    Event event(false, false);
    EXPECT_EQ(WaitResult::Timeout, event.Wait(0));
    event.Set();
    EXPECT_EQ(WaitResult::Signaled, event.Wait(0));
    EXPECT_FALSE(event.IsSet());
    Event manual(true, true);
    EXPECT_EQ(WaitResult::Signaled, manual.Wait(0));
    EXPECT_TRUE(manual.IsSet());
}

} // namespace
