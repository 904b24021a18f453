// The compile worker over a stand-in table: coalescing, cancelling, failures, rhythm dropping, gone mailboxes.
#include "host/trigger_compile_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "host_harness.h"

namespace quillex {
namespace {

struct FakeTable {
    std::uint64_t revision = 0;
    int value = 0;
    bool rhythm = true;
};

struct FakeRevision {
    int value = 0;
    bool blocks = false;  // waits at the gate until it opens
    bool throws = false;
};

// Holds a compile inside the worker until the test opens it.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    bool entered = false;

    void close() {
        std::lock_guard lock(mutex);
        open = false;
        entered = false;
    }
    void release() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
    void waitEntered() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return entered; });
    }
    void pass() {
        std::unique_lock lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
    }
};

Gate gate;

struct FakePolicy {
    using Table = FakeTable;
    using Revision = FakeRevision;
    static TriggerCompileResultOf<FakeTable> build(const std::shared_ptr<const FakeRevision>& revision,
                                                   std::uint64_t generation) {
        if (!revision) throw std::runtime_error("Resolved trigger revision is unavailable");
        if (revision->blocks) gate.pass();
        if (revision->throws) throw std::runtime_error("builder failed");
        return {std::make_unique<FakeTable>(FakeTable{generation, revision->value, true}), ""};
    }
    static std::unique_ptr<FakeTable> emptyTable(std::uint64_t generation) {
        return std::make_unique<FakeTable>(FakeTable{generation, -1, true});
    }
    static void dropRhythm(FakeTable& table) { table.rhythm = false; }
};

using Worker = TriggerCompileWorkerOf<FakePolicy>;
using Mailbox = TriggerCompileMailboxOf<FakeTable>;

// A mailbox whose deliver records what was handed over, as the object's queue would find it.
struct Recorder {
    std::shared_ptr<Mailbox> mailbox = std::make_shared<Mailbox>();
    std::mutex mutex;
    std::vector<FakeTable> tables;
    std::vector<std::string> errors;

    Recorder() {
        mailbox->deliver = [this] {
            std::lock_guard lock(mutex);
            tables.push_back(mailbox->pendingTable ? *mailbox->pendingTable : FakeTable{0, -99, true});
            errors.push_back(mailbox->pendingError);
        };
    }
    std::vector<int> values() {
        std::lock_guard lock(mutex);
        std::vector<int> result;
        for (const FakeTable& t : tables) result.push_back(t.value);
        return result;
    }
};

std::shared_ptr<const FakeRevision> revision(int value, bool blocks = false, bool throws = false) {
    return std::make_shared<const FakeRevision>(FakeRevision{value, blocks, throws});
}

class TriggerCompileWorkerTest : public ::testing::Test {
protected:
    void SetUp() override { testing::quillexClass(); }
    void TearDown() override { ASSERT_EQ(vessa_settle(10.0), 1) << "background work did not hand over"; }
};

TEST_F(TriggerCompileWorkerTest, TwoPostsBehindARunningJobCompileOnlyTheSecond) {
    Recorder a;
    Recorder b;
    gate.close();
    Worker::instance().post(a.mailbox, revision(1, true), true, 1);
    gate.waitEntered();
    Worker::instance().post(a.mailbox, revision(2), true, 2);
    Worker::instance().post(b.mailbox, revision(10), true, 1);
    Worker::instance().post(a.mailbox, revision(3), true, 3);
    gate.release();
    ASSERT_EQ(vessa_settle(10.0), 1);
    EXPECT_EQ(a.values(), (std::vector<int>{1, 3}));
    EXPECT_EQ(b.values(), (std::vector<int>{10}));
    EXPECT_EQ(a.tables.back().revision, 3u);
}

TEST_F(TriggerCompileWorkerTest, CancelDropsQueuedJobsButNotTheRunningOne) {
    Recorder a;
    gate.close();
    Worker::instance().post(a.mailbox, revision(1, true), true, 1);
    gate.waitEntered();
    Worker::instance().post(a.mailbox, revision(2), true, 2);
    Worker::instance().cancelJobsFor(a.mailbox.get());
    gate.release();
    ASSERT_EQ(vessa_settle(10.0), 1);
    EXPECT_EQ(a.values(), (std::vector<int>{1}));
}

TEST_F(TriggerCompileWorkerTest, FailuresGiveAnEmptyTableOfTheJobsGeneration) {
    Recorder a;
    Worker::instance().post(a.mailbox, nullptr, true, 7);
    ASSERT_EQ(vessa_settle(10.0), 1);
    Worker::instance().post(a.mailbox, revision(5, false, true), true, 8);
    ASSERT_EQ(vessa_settle(10.0), 1);
    ASSERT_EQ(a.tables.size(), 2u);
    EXPECT_EQ(a.tables[0].revision, 7u);
    EXPECT_EQ(a.tables[0].value, -1);
    EXPECT_EQ(a.errors[0], "Resolved trigger revision is unavailable");
    EXPECT_EQ(a.tables[1].revision, 8u);
    EXPECT_EQ(a.errors[1], "builder failed");
}

TEST_F(TriggerCompileWorkerTest, RhythmIsDroppedWhenTheSettingIsOff) {
    Recorder a;
    Worker::instance().post(a.mailbox, revision(1), false, 1);
    Worker::instance().post(a.mailbox, revision(2), true, 2);
    ASSERT_EQ(vessa_settle(10.0), 1);
    ASSERT_FALSE(a.tables.empty());
    EXPECT_EQ(a.tables.back().rhythm, true);
    Worker::instance().post(a.mailbox, revision(3), false, 3);
    ASSERT_EQ(vessa_settle(10.0), 1);
    EXPECT_EQ(a.tables.back().rhythm, false);
}

TEST_F(TriggerCompileWorkerTest, GoneOrClosedMailboxesReceiveNothingWhileOthersAreServed) {
    Recorder kept;
    auto gone = std::make_shared<Mailbox>();
    std::atomic<int> goneDeliveries{0};
    gone->deliver = [&goneDeliveries] { ++goneDeliveries; };
    Recorder closed;
    closed.mailbox->deliver = nullptr;
    gate.close();
    Worker::instance().post(gone, revision(1, true), true, 1);
    gate.waitEntered();
    Worker::instance().post(closed.mailbox, revision(2), true, 1);
    Worker::instance().post(kept.mailbox, revision(3), true, 1);
    {
        // The owner goes away while its job runs: it cuts the deliver path first.
        std::lock_guard lock(gone->mutex);
        gone->deliver = nullptr;
    }
    gone.reset();
    gate.release();
    ASSERT_EQ(vessa_settle(10.0), 1);
    EXPECT_EQ(goneDeliveries, 0);
    EXPECT_FALSE(closed.mailbox->hasResult);
    EXPECT_EQ(kept.values(), (std::vector<int>{3}));
}

}  // namespace
}  // namespace quillex
