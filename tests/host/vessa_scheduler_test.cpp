// The stand-in host's scheduler: virtual time, arming order, re-arming, cross-thread arms and the main-thread query.
#include "platform/vessa/vessa.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host_harness.h"

namespace {

std::vector<std::string> ran;

struct Named {
    std::string name;
    int mainThread = -1;  // what systhread_ismainthread said inside the task
};

void record(void* owner) {
    auto* named = static_cast<Named*>(owner);
    named->mainThread = systhread_ismainthread();
    ran.push_back(named->name);
}

class VessaScheduler : public ::testing::Test {
protected:
    void SetUp() override {
        quillex::testing::quillexClass();  // claims this thread as the main thread
        ASSERT_EQ(vessa_settle(1.0), 1);
        ran.clear();
    }
};

TEST_F(VessaScheduler, QueuesRunOnceInArmingOrderAndClocksByDueTimeThenArmingOrder) {
    Named a{"a"}, b{"b"}, c{"c"}, d{"d"}, e{"e"};
    t_qelem* qa = qelem_new(&a, record);
    t_qelem* qb = qelem_new(&b, record);
    t_clock* cc = clock_new(&c, record);
    t_clock* cd = clock_new(&d, record);
    t_clock* ce = clock_new(&e, record);
    const double start = vessa_now();
    qelem_set(qb);
    qelem_set(qa);
    qelem_set(qb);  // already set: still once
    clock_fdelay(cc, 20);
    clock_fdelay(cd, 10);
    clock_fdelay(ce, 20);
    clock_fdelay(cd, 20);  // re-arming moves it behind c and e
    ASSERT_EQ(vessa_settle(1.0), 1);
    EXPECT_EQ(ran, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(vessa_now(), start);  // time moves only when told
    ASSERT_EQ(vessa_advance(19, 1.0), 1);
    EXPECT_EQ(ran.size(), 2u);
    ASSERT_EQ(vessa_advance(1, 1.0), 1);
    EXPECT_EQ(ran, (std::vector<std::string>{"b", "a", "c", "e", "d"}));
    EXPECT_EQ(a.mainThread, 1);
    EXPECT_EQ(c.mainThread, 0);  // a clock's task runs in the scheduler
    qelem_free(qa);
    qelem_free(qb);
    clock_free(cc);
    clock_free(cd);
    clock_free(ce);
}

TEST_F(VessaScheduler, ArmsFromOtherThreadsWaitForBackgroundWorkAndUnsetCancelsThem) {
    Named a{"a"}, b{"b"};
    t_qelem* qa = qelem_new(&a, record);
    t_qelem* qb = qelem_new(&b, record);
    int offThread = -1;
    vessa_background_acquire();
    std::thread worker([&] {
        offThread = systhread_ismainthread();
        qelem_set(qa);
        qelem_set(qb);
    });
    worker.join();
    EXPECT_EQ(offThread, 0);
    EXPECT_EQ(vessa_step(), 0);  // a token is held: nothing applied yet
    qelem_unset(qb);             // cancels its arm before it was applied
    vessa_background_release();
    ASSERT_EQ(vessa_settle(1.0), 1);
    EXPECT_EQ(ran, std::vector<std::string>{"a"});
    qelem_free(qa);
    qelem_free(qb);
}

TEST_F(VessaScheduler, ASettleThatWaitsTooLongReportsATimeout) {
    vessa_background_acquire();
    EXPECT_EQ(vessa_settle(0.05), 0);
    vessa_background_release();
    EXPECT_EQ(vessa_settle(0.05), 1);
}

TEST_F(VessaScheduler, HostLinesControlTheScheduler) {
    std::ostringstream out;
    std::ostringstream console;
    vessa_host::HostSession session(quillex::testing::quillexClass(), out, console, {true, 0.05});
    for (const char* line :
         {":free 3", ":select 9", ":advance x", ":bogus", "get_version \\inot", ":new", ":free", "get_version"}) {
        session.runLine(line);
    }
    session.createObject();
    session.finish();
    EXPECT_EQ(out.str(),
              "! bad-line :free 3\n! bad-line :select 9\n! bad-line :advance x\n! bad-line :bogus\n"
              "! bad-line get_version \\inot\n! created 1\n! freed 1\n! bad-line get_version\n! created 2\n"
              "! freed 2\n");
    EXPECT_FALSE(session.failed());
}

}  // namespace
