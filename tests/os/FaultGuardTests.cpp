// The fault guard: machine faults and escaping exceptions end the step, not the process.
#include <gtest/gtest.h>

#include <stdexcept>

#include "FaultTargets.h"
#include "os/FaultGuard.h"

namespace os = Quorlin::os;
using namespace QuorlinTest;

TEST(FaultGuard, NormalStepReturnsTrue)
{
    int calls = 0;
    std::uint32_t code = 1;
    EXPECT_TRUE(os::RunGuarded([](void* context) { ++*static_cast<int*>(context); }, &calls, code));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(code, 0u);
}

TEST(FaultGuard, CatchesFaultsAndExceptionsRepeatedly)
{
    struct Case {
        void (*step)(void*);
        std::uint32_t code;
    };
    const Case cases[] = {
        {&WriteThroughNull, 0xC0000005},
        {&DivideByZero, 0xC0000094},
        {[](void*) { throw std::runtime_error("escapes"); }, os::kCppExceptionCode},
        {[](void*) { throw 5; }, os::kCppExceptionCode},
    };
    // Twice round: a guard that caught must be ready for the next step at once.
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            std::uint32_t code = 0;
            EXPECT_FALSE(os::RunGuarded(c.step, nullptr, code));
            EXPECT_EQ(code, c.code) << std::hex << code;
        }
    }
}

TEST(FaultGuard, NestedGuardsCatchAtTheInnermost)
{
    struct Outer {
        bool innerResult = true;
        std::uint32_t innerCode = 0;
    } outer;
    std::uint32_t code = 0;
    const bool finished = os::RunGuarded(
        [](void* context) {
            auto& state = *static_cast<Outer*>(context);
            state.innerResult = os::RunGuarded(&WriteThroughNull, nullptr, state.innerCode);
            // The outer guard is armed again after the inner one caught.
            DivideByZero(nullptr);
        },
        &outer, code);
    EXPECT_FALSE(finished);
    EXPECT_FALSE(outer.innerResult);
    EXPECT_EQ(outer.innerCode, 0xC0000005u);
    EXPECT_EQ(code, 0xC0000094u);
}
