#include "named_objects.h"

#include "child_process.h"
#include "machine_folder.h"

#include <chrono>
#include <thread>

using namespace platform;

class NamedObjectsTest : public MachineFolderTest {};

TEST_F(NamedObjectsTest, CreateOpenAndExistenceWithinOneProcess) {
    EXPECT_FALSE(NamedEvent::exists("QVDP_COND_FINISHED"));
    EXPECT_FALSE(NamedEvent::openExisting("QVDP_COND_FINISHED"));
    {
        auto first = NamedEvent::createOrOpen("QVDP_COND_FINISHED", false);
        ASSERT_TRUE(first);
        EXPECT_FALSE(first->alreadyExisted());
        auto second = NamedEvent::createOrOpen("QVDP_COND_FINISHED", true);
        ASSERT_TRUE(second);
        EXPECT_TRUE(second->alreadyExisted());
        EXPECT_FALSE(second->isSignalled());  // opening keeps the state
        EXPECT_TRUE(NamedEvent::exists("QVDP_COND_FINISHED"));
        EXPECT_FALSE(NamedEvent::exists("qvdp_cond_finished"));  // names are case-sensitive
        // The object outlives the handle that made it.
        first.reset();
        EXPECT_TRUE(NamedEvent::openExisting("QVDP_COND_FINISHED"));
        second->set();
    }
    EXPECT_FALSE(NamedEvent::exists("QVDP_COND_FINISHED"));
    // Made again it starts from its initial state.
    auto again = NamedEvent::createOrOpen("QVDP_COND_FINISHED", false);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->alreadyExisted());
    EXPECT_FALSE(again->isSignalled());
    EXPECT_FALSE(NamedEvent::createOrOpen(""));
    // Names with characters a file name cannot hold still work.
    auto odd = NamedEvent::createOrOpen("Global\\a/b:c", true);
    ASSERT_TRUE(odd);
    EXPECT_TRUE(odd->isSignalled());
    EXPECT_TRUE(NamedEvent::exists("Global\\a/b:c"));
}

TEST_F(NamedObjectsTest, ManualResetEventsAndWaitingForAny) {
    auto can = NamedEvent::createOrOpen("QVDP_COND_CAN_START");
    auto cant = NamedEvent::createOrOpen("QVDP_COND_CANT_START");
    ASSERT_TRUE(can && cant);
    auto start = std::chrono::steady_clock::now();
    WaitResult r = waitForAny({&*can, &*cant}, 50);
    EXPECT_EQ(r.status, WaitStatus::Timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        cant->set();
    });
    r = waitForAny({&*can, &*cant}, 5000);
    setter.join();
    EXPECT_EQ(r.status, WaitStatus::Signalled);
    EXPECT_EQ(r.index, 1u);
    // Manual reset: it stays signalled for every waiter until reset.
    EXPECT_TRUE(cant->wait(0));
    EXPECT_TRUE(cant->wait(0));
    can->set();
    EXPECT_EQ(waitForAny({&*can, &*cant}, 0).index, 0u);  // the first signalled one wins
    cant->reset();
    can->reset();
    EXPECT_FALSE(cant->wait(0));
    NamedEvent closed;
    EXPECT_EQ(waitForAny({&*can, &closed}, 0).status, WaitStatus::Failed);
    EXPECT_EQ(waitForAny({}, kWaitInfinite).status, WaitStatus::Failed);
}

TEST_F(NamedObjectsTest, EventSetInAnotherProcessEndsTheWait) {
    auto wants = NamedEvent::createOrOpen("QVDP_COND_WANTS_START");
    ASSERT_TRUE(wants);
    ChildProcess child({"event-set", "QVDP_COND_WANTS_START", "100"});
    EXPECT_TRUE(wants->wait(10000));
    EXPECT_EQ(child.wait(), 0);
    // Setting an event nobody holds fails: it does not exist.
    EXPECT_EQ(runHelper({"event-set", "QVDP_NOBODY", "0"}), 1);
}

TEST_F(NamedObjectsTest, ObjectLivesExactlyAsLongAsItsHolder) {
    ChildProcess holder({"event-hold", "QVDP_COND_WANTS_START", "1"});
    ASSERT_EQ(holder.readLine(), "ready existed=0");
    auto opened = NamedEvent::createOrOpen("QVDP_COND_WANTS_START", false);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->alreadyExisted());
    EXPECT_TRUE(opened->isSignalled());  // the holder's state, not ours
    opened.reset();
    EXPECT_TRUE(NamedEvent::exists("QVDP_COND_WANTS_START"));

    holder.kill();  // no chance to clean up
    EXPECT_FALSE(NamedEvent::exists("QVDP_COND_WANTS_START"));
    auto fresh = NamedEvent::createOrOpen("QVDP_COND_WANTS_START", false);
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(fresh->alreadyExisted());
    EXPECT_FALSE(fresh->isSignalled());
}

TEST_F(NamedObjectsTest, MutexReportsASecondInstance) {
    EXPECT_FALSE(NamedMutex::isHeld("TarvocPapyrineMutex"));
    ChildProcess first({"mutex-hold", "TarvocPapyrineMutex"});
    ASSERT_EQ(first.readLine(), "ready existed=0");
    EXPECT_TRUE(NamedMutex::isHeld("TarvocPapyrineMutex"));
    {
        auto second = NamedMutex::create("TarvocPapyrineMutex");
        ASSERT_TRUE(second);
        EXPECT_TRUE(second->alreadyExisted());
    }
    first.kill();
    EXPECT_FALSE(NamedMutex::isHeld("TarvocPapyrineMutex"));
    auto mine = NamedMutex::create("TarvocPapyrineMutex");
    ASSERT_TRUE(mine);
    EXPECT_FALSE(mine->alreadyExisted());
    // Events and the mutex are told apart.
    EXPECT_FALSE(NamedEvent::exists("TarvocPapyrineMutex"));
    ChildProcess other({"mutex-hold", "TarvocPapyrineMutex"});
    EXPECT_EQ(other.readLine(), "ready existed=1");
}
