// The configuration driver: every step failing in turn, by result and by exception.
#include "host/external_window_host_api.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace quillex::host {
namespace {

class ScriptedApi : public ExternalWindowHostApi {
public:
    enum class Mode { succeed, returnFalse, raise };
    ScriptedApi(int failing, Mode mode) : failing_(failing), mode_(mode) {}

    bool locateBoxes() override { return step(1); }
    bool resetDockedSize() override { return step(2); }
    bool loadSavedGeometry() override { return step(3); }
    bool createWindowView() override { return step(4); }
    bool attachToWindow() override { return step(5); }
    bool applyWindowStyle() override { return step(6); }
    bool showWindow() override { return step(7); }
    bool applyWindowRect() override { return step(8); }
    bool fitContent() override { return step(9); }
    bool verifyCanvasRect() override { return step(10); }
    void rollback() override { ++rollbacks; }

    std::vector<int> ran;
    int rollbacks = 0;

private:
    bool step(int number) {
        ran.push_back(number);
        if (number != failing_) return true;
        if (mode_ == Mode::raise) throw std::runtime_error("host call failed");
        return mode_ != Mode::returnFalse;
    }
    int failing_;
    Mode mode_;
};

TEST(ConfigurePopoutWindow, AllStepsSucceedWithoutRollback) {
    ScriptedApi api(0, ScriptedApi::Mode::succeed);
    const std::uint16_t result = configurePopoutWindow(api);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(popoutConfigured(result));
    EXPECT_EQ(api.ran, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(api.rollbacks, 0);
}

TEST(ConfigurePopoutWindow, EachFailingStepRollsBackOnceAndIsNamed) {
    for (const auto mode : {ScriptedApi::Mode::returnFalse, ScriptedApi::Mode::raise}) {
        for (int failing = 1; failing <= 10; ++failing) {
            ScriptedApi api(failing, mode);
            const std::uint16_t result = configurePopoutWindow(api);
            EXPECT_FALSE(popoutConfigured(result));
            EXPECT_EQ(result & 0xFF, 0);
            EXPECT_EQ(popoutFailedStep(result), failing);
            EXPECT_EQ(api.rollbacks, 1) << failing;
            ASSERT_EQ(static_cast<int>(api.ran.size()), failing);  // nothing after the failed step
        }
    }
}

}  // namespace
}  // namespace quillex::host
