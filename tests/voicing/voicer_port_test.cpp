// The LRU caches, cache-state ownership and the per-thread debug lines.
#include "voicing/voicer_port.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace quillex {
namespace {

CandidateKey keyNumber(int n) {
    CandidateKey key;
    key.pitchClasses = {0, 4, 7};
    key.top = n;
    return key;
}

SharedCandidateList listOf(std::int32_t note) { return std::make_shared<const CandidateList>(CandidateList{{note}}); }

TEST(LruCache, TheNextNewKeyEvictsTheLeastRecentlyUsed) {
    VoicerPortCacheState state;
    for (int i = 0; i < 256; ++i) state.candidates.put(keyNumber(i), listOf(i));
    EXPECT_NE(state.candidates.find(keyNumber(0)), nullptr) << "looking up key 0 protects it";
    state.candidates.put(keyNumber(256), listOf(256));
    EXPECT_EQ(state.candidates.size(), 256u);
    EXPECT_NE(state.candidates.find(keyNumber(0)), nullptr);
    EXPECT_EQ(state.candidates.find(keyNumber(1)), nullptr);
    EXPECT_NE(state.candidates.find(keyNumber(256)), nullptr);
}

TEST(LruCache, RoughnessCacheKeepsFourThousandNinetySixLists) {
    VoicerPortCacheState state;
    for (int i = 0; i <= 4096; ++i) state.roughness.put({i, i + 7}, i * 0.5);
    EXPECT_EQ(state.roughness.size(), 4096u);
    EXPECT_FALSE(state.roughness.get({0, 7}).has_value());
    EXPECT_EQ(state.roughness.get({1, 8}), 0.5);
    EXPECT_EQ(state.roughness.get({4096, 4103}), 2048.0);
}

TEST(LruCache, PutOnAnExistingKeyUpdatesAndRefreshes) {
    LruCache<int, int> cache(2);
    cache.put(1, 10);
    cache.put(2, 20);
    cache.put(1, 11);
    cache.put(3, 30);
    EXPECT_EQ(cache.get(1), 11);
    EXPECT_FALSE(cache.get(2).has_value());
    std::vector<int> order;
    cache.forEachKeyByRecency([&](int key) { order.push_back(key); });
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
    LruCache<int, int> none(0);
    none.put(1, 1);
    EXPECT_EQ(none.size(), 0u);
}

TEST(CacheState, PortsNeverShareButPointerCopiesDo) {
    const auto a = makeVoicerPortCacheState();
    const auto b = makeVoicerPortCacheState();
    EXPECT_NE(a.get(), b.get());
    const auto copy = a;
    copy->roughness.put({60, 64}, 1.0);
    EXPECT_EQ(a->roughness.get({60, 64}), 1.0);
    EXPECT_FALSE(b->roughness.get({60, 64}).has_value());
}

TEST(CacheState, EachThreadHasItsOwnFallback) {
    VoicerPortCacheState* here = &sharedVoicerPortCacheState();
    EXPECT_EQ(here, &sharedVoicerPortCacheState());
    VoicerPortCacheState* there = nullptr;
    std::thread([&] { there = &sharedVoicerPortCacheState(); }).join();
    EXPECT_NE(here, there);
}

TEST(CandidateKeys, EqualKeysHashEquallyAndEveryFieldMatters) {
    const CandidateKeyHash hash;
    CandidateKey a = keyNumber(72);
    CandidateKey b = keyNumber(72);
    EXPECT_EQ(a, b);
    EXPECT_EQ(hash(a), hash(b));
    b.most = 5;
    EXPECT_NE(a, b);
    b = a;
    b.pitchClasses = {4, 0, 7};
    EXPECT_NE(a, b);
    EXPECT_NE(hash(a), hash(b));
}

TEST(AvlDebugLines, KeptOnlyWhileSwitchedOn) {
    clearAvlDebugLines();
    setAvlDebugEnabled(false);
    appendAvlDebugLine("dropped");
    EXPECT_TRUE(takeAvlDebugLines().empty());
    setAvlDebugEnabled(true);
    EXPECT_TRUE(isAvlDebugEnabled());
    appendAvlDebugLine("one");
    appendAvlDebugLine("two");
    EXPECT_EQ(takeAvlDebugLines(), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(takeAvlDebugLines().empty());
    appendAvlDebugLine("untaken");
    setAvlDebugEnabled(false);
    setAvlDebugEnabled(true);
    EXPECT_TRUE(takeAvlDebugLines().empty()) << "switching off discards lines";
    appendAvlDebugLine("cleared");
    clearAvlDebugLines();
    EXPECT_TRUE(takeAvlDebugLines().empty());
    setAvlDebugEnabled(false);
}

TEST(AvlDebugLines, NeverLeakBetweenThreads) {
    setAvlDebugEnabled(true);
    appendAvlDebugLine("main");
    bool otherEnabled = true;
    std::vector<std::string> otherLines{"x"};
    std::thread([&] {
        otherEnabled = isAvlDebugEnabled();
        appendAvlDebugLine("worker");
        otherLines = takeAvlDebugLines();
    }).join();
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(otherLines.empty());
    EXPECT_EQ(takeAvlDebugLines(), (std::vector<std::string>{"main"}));
    setAvlDebugEnabled(false);
}

}  // namespace
}  // namespace quillex
