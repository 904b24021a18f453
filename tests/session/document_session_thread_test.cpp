// Threads: a resolution held on a gate never blocks lookups, requireRevision or commits.
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "support/document_samples.h"
#include "session_support.h"

namespace quillex {
namespace {

using testing::Gate;
using testing::StandInResolver;

constexpr auto kWatchdog = std::chrono::seconds(20);

TEST(SessionThreads, LookupsAndCommitsFinishWhileAResolutionIsHeld) {
    for (int round = 0; round < 8; ++round) {
        auto resolver = std::make_shared<StandInResolver>();
        DocumentSession session(resolver);
        const auto settings = testing::defaultUserSettings();
        ASSERT_TRUE(session.restoreProjectSnapshot(testing::fullDocumentJson(), settings, "r0").succeeded());
        for (std::uint64_t n = 1; n <= 2; ++n) {
            const auto current = session.currentRevision();
            ASSERT_TRUE(session.setGestureDefaults(current->document->gesture, settings, n - 1, "t" + std::to_string(n))
                            .succeeded());
        }
        const auto base = session.currentRevision();
        resolver->entered = std::make_shared<Gate>();
        resolver->release = std::make_shared<Gate>();

        auto held = std::async(std::launch::async,
                               [&] { return session.setKey(base->document->key, settings, base->revision, "held"); });
        ASSERT_TRUE(resolver->entered->wait(kWatchdog)) << "the resolution never started";

        std::vector<std::future<bool>> readers;
        for (int i = 0; i < 4; ++i) {
            readers.push_back(std::async(std::launch::async, [&, i] {
                bool ok = true;
                for (int k = 0; k < 200; ++k) {
                    ok &= session.currentRevision() == base;
                    ok &= session.revisionAt(2) == base;
                    ok &= session.requireRevision(2) == base;
                    ok &= session.durableRevision() != nullptr;
                    RevisionPtr checked;
                    ok &= session.checkTransaction(2, "x", checked).succeeded();
                    ok &= session.rememberTransactionId("reader" + std::to_string(i) + "-" + std::to_string(k));
                }
                return ok;
            }));
        }
        readers.push_back(std::async(std::launch::async, [&] { return session.commitRevision(1, "t1"); }));
        for (auto& reader : readers) {
            ASSERT_EQ(reader.wait_for(kWatchdog), std::future_status::ready) << "a lookup waited for the resolution";
            EXPECT_TRUE(reader.get());
        }
        // A view read waits for the running command; it cannot be done yet.
        auto view = std::async(std::launch::async, [&] { return session.currentRevisionBetweenCommands(); });
        EXPECT_FALSE(resolver->release->isOpen());
        EXPECT_NE(view.wait_for(std::chrono::seconds(0)), std::future_status::ready);

        resolver->release->open();
        ASSERT_EQ(held.wait_for(kWatchdog), std::future_status::ready);
        const auto result = held.get();
        ASSERT_TRUE(result.succeeded()) << result.errorMessage;
        EXPECT_EQ(result.revision->revision, 3u);
        ASSERT_EQ(view.wait_for(kWatchdog), std::future_status::ready);
        EXPECT_EQ(view.get(), result.revision);
        EXPECT_EQ(session.durableRevision()->revision, 1u);
        EXPECT_FALSE(resolver->releaseTimedOut);
    }
}

TEST(SessionThreads, ConcurrentCommandsRunOneAtATime) {
    auto resolver = std::make_shared<StandInResolver>();
    DocumentSession session(resolver);
    const auto settings = testing::defaultUserSettings();
    ASSERT_TRUE(session.restoreProjectSnapshot(testing::fullDocumentJson(), settings, "r0").succeeded());
    // Every thread retries on the current revision until its change lands once.
    constexpr int kThreads = 4;
    constexpr int kChanges = 50;
    std::vector<std::future<int>> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.push_back(std::async(std::launch::async, [&, t] {
            int landed = 0;
            for (int c = 0; c < kChanges; ++c) {
                const std::string id = "w" + std::to_string(t) + "-" + std::to_string(c);
                for (;;) {
                    const auto current = session.currentRevision();
                    const auto result =
                        c % 2 == 0 ? session.setRhythm(current->document->rhythm, settings, current->revision, id)
                                   : session.setKey(current->document->key, settings, current->revision, id);
                    if (result.succeeded()) break;
                    if (result.errorCode != "document_revision_mismatch") return -1;
                }
                ++landed;
                if (c % 5 == 0) session.commitRevision(session.currentRevision()->revision, id);
                if (c % 7 == 0) session.rollbackRevision(session.currentRevision()->revision, id);
            }
            return landed;
        }));
    }
    for (auto& worker : workers) {
        ASSERT_EQ(worker.wait_for(kWatchdog), std::future_status::ready);
        EXPECT_EQ(worker.get(), kChanges);
    }
    const auto revisions = DocumentSessionTestAccess::revisions(session);
    ASSERT_FALSE(revisions.empty());
    EXPECT_EQ(revisions.back(), session.currentRevision());
    for (std::size_t i = 1; i < revisions.size(); ++i) EXPECT_LT(revisions[i - 1]->revision, revisions[i]->revision);
}

}  // namespace
}  // namespace quillex
