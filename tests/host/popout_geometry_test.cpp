// Window size bounds, scale commits and the saved-geometry round trip through the settings file.
#include "host/popout_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/file_testing.h"

namespace quillex {
namespace {

using nlohmann::json;

TEST(PopoutWindowSize, KnownSizes) {
    EXPECT_EQ(computeWindowSize(1251.0, 268.5, 834, 179), (PopoutWindowSize{1254, 269}));
    EXPECT_EQ(computeWindowSize(1668.0, 358.0, 834, 179), (PopoutWindowSize{1668, 358}));
    EXPECT_EQ(computeWindowSize(5000.0, 2000.0, 834, 179), (PopoutWindowSize{5000, 447}));
    EXPECT_EQ(computeWindowSize(100.0, 50.0, 834, 179), (PopoutWindowSize{834, 179}));
    EXPECT_EQ(computeWindowSize(40000.0, 179.0, 834, 179), (PopoutWindowSize{32767, 179}));
    // Scales 1.5 x 1.5 from the docked size.
    EXPECT_EQ(computeWindowSize(834 * 1.5, 179 * 1.5, 834, 179), (PopoutWindowSize{1254, 269}));
}

TEST(PopoutWindowSize, GridStaysWithinBoundsAndKeepsSizesAlreadyWithin) {
    for (double height = -50.0; height <= 700.0; height += 7.25) {
        for (double width = -100.0; width <= 40000.0; width += 397.5) {
            const PopoutWindowSize size = computeWindowSize(width, height, 834, 179);
            ASSERT_GE(size.height, 179);
            ASSERT_LE(size.height, 447);
            ASSERT_LE(size.width, 32767);
            ASSERT_GE(size.width, static_cast<std::int32_t>(std::ceil(834.0 * size.height / 179.0)));
            const PopoutWindowSize again = computeWindowSize(size.width, size.height, 834, 179);
            ASSERT_EQ(again, size) << width << " x " << height;
        }
    }
}

TEST(PopoutWindowSize, HostileNumbersTakeABound) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(computeWindowSize(nan, nan, 834, 179), (PopoutWindowSize{834, 179}));
    EXPECT_EQ(computeWindowSize(inf, inf, 834, 179), (PopoutWindowSize{32767, 447}));
    EXPECT_EQ(computeWindowSize(-inf, -1e300, 834, 179), (PopoutWindowSize{834, 179}));
    EXPECT_EQ(computeWindowSize(1e300, 300.0, 834, 179), (PopoutWindowSize{32767, 300}));
    // Degenerate and huge bases never overflow.
    EXPECT_EQ(computeWindowSize(10.0, 10.0, 0, -5), (PopoutWindowSize{10, 2}));
    const PopoutWindowSize huge =
        computeWindowSize(inf, inf, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(huge.height, std::numeric_limits<std::int32_t>::max());
}

TEST(PopoutGeometryCommit, RoundsScalesAndRearmsOnlyForAChangeOrAPendingWrite) {
    PopoutGeometry geometry;
    EXPECT_EQ(commitPopoutGeometry(geometry, 1001, 179, 834, 179), GeometryCommit::rearm);
    EXPECT_DOUBLE_EQ(geometry.widthScale, 1.2002);  // 1.20024 to 4 decimals
    EXPECT_DOUBLE_EQ(geometry.heightScale, 1.0);
    EXPECT_TRUE(geometry.hasSaved && geometry.dirty);
    // The same size again while the write is pending re-arms; once written it does nothing.
    EXPECT_EQ(commitPopoutGeometry(geometry, 1001, 179, 834, 179), GeometryCommit::rearm);
    geometry.dirty = false;
    EXPECT_EQ(commitPopoutGeometry(geometry, 1001, 179, 834, 179), GeometryCommit::nothing);
    EXPECT_EQ(commitPopoutGeometry(geometry, 1251, 269, 834, 179), GeometryCommit::rearm);
    EXPECT_DOUBLE_EQ(geometry.widthScale, 1.5);
    EXPECT_DOUBLE_EQ(geometry.heightScale, 1.5028);
    // A half at the fourth decimal goes away from zero: 3 / 2 x 10000 = 15000.5 -> 1.5001 for base 2.
    PopoutGeometry half;
    commitPopoutGeometry(half, 30001, 3, 20000, 2);
    EXPECT_DOUBLE_EQ(half.widthScale, 1.5001);
}

TEST(PopoutGeometryIds, SharedCounterGivesDistinctIds) {
    const std::string first = nextGeometryTransactionId();
    const std::string second = nextGeometryTransactionId();
    EXPECT_EQ(first.rfind("external-window-geometry-", 0), 0u);
    EXPECT_NE(first, second);
}

class PopoutGeometryStore : public ::testing::Test {
protected:
    testing::TempFolder folder;
    UserSettingsPaths paths{folder / "Quillex/user_settings.json", folder / "Quillex.user_settings.json"};
    PersistenceTransactionRegistry registry;
};

TEST_F(PopoutGeometryStore, PersistsReadsBackAndLoads) {
    PopoutGeometry geometry;
    ASSERT_TRUE(readExternalWindowGeometry(paths, geometry));
    EXPECT_FALSE(geometry.hasSaved);
    // Nothing saved: nothing to write.
    EXPECT_TRUE(persistPopoutGeometry(paths, registry, geometry, nextGeometryTransactionId()).ok);

    commitPopoutGeometry(geometry, 1001, 179, 834, 179);
    const GeometryPersistOutcome outcome = persistPopoutGeometry(paths, registry, geometry, "g-1");
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_TRUE(outcome.settings);
    EXPECT_EQ((*outcome.settings)["externalWindowGeometry"], (json{{"widthScale", 1.2002}, {"heightScale", 1.0}}));
    EXPECT_FALSE(geometry.dirty);
    EXPECT_FALSE(registry.isPending("g-1"));

    PopoutGeometry loaded;
    loaded.dirty = true;
    ASSERT_TRUE(readExternalWindowGeometry(paths, loaded));
    EXPECT_EQ(loaded, (PopoutGeometry{1.2002, 1.0, true, false}));
}

TEST_F(PopoutGeometryStore, RefusedWritesKeepTheScalesDirty) {
    PopoutGeometry geometry;
    ASSERT_TRUE(readExternalWindowGeometry(paths, geometry));
    // Height scale above width scale breaks the settings contract.
    geometry = {1.0, 1.5, true, true};
    GeometryPersistOutcome refused = persistPopoutGeometry(paths, registry, geometry, "g-2");
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.error.empty());
    EXPECT_TRUE(geometry.dirty);
    EXPECT_FALSE(registry.isPending("g-2"));

    // An ID already claimed is refused before anything is written.
    geometry = {1.5, 1.5, true, true};
    auto held = PersistenceTransactionGuard::acquire(registry, "g-3");
    ASSERT_TRUE(held);
    refused = persistPopoutGeometry(paths, registry, geometry, "g-3");
    EXPECT_EQ(refused.error, "External window geometry transaction ID is already pending");
    EXPECT_TRUE(geometry.dirty);
    held->release();
    EXPECT_TRUE(persistPopoutGeometry(paths, registry, geometry, "g-3").ok);
}

TEST_F(PopoutGeometryStore, UnreadableSettingsLeaveTheFieldsAlone) {
    testing::putFile(folder / "Quillex", "not a folder");
    PopoutGeometry geometry{2.0, 2.0, true, true};
    EXPECT_FALSE(readExternalWindowGeometry(paths, geometry));
    EXPECT_EQ(geometry, (PopoutGeometry{2.0, 2.0, true, true}));
}

}  // namespace
}  // namespace quillex
