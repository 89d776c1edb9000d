// What both forwarders do alike: the referenced appenders they open, forward to and close, and the
// cycles they refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Recorders.h"
#include "RecordingAppender.h"
#include "buffering/AsyncBufferingForwardAppender.h"
#include "buffering/BufferingForwardAppender.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

using Strings = std::vector<std::string>;

template <typename T>
struct Texts;
template <>
struct Texts<BufferingForwardAppender> {
    static constexpr const char* kOpen = "BufferingForward::Open, NbOfRefAppender : ";
    static constexpr const char* kCycle = "BufferingForward.Open, forwarding cycle refused : ";
};
template <>
struct Texts<AsyncBufferingForwardAppender> {
    static constexpr const char* kOpen = "AsyncBufferingForward::Open, NbOfRefAppender : ";
    static constexpr const char* kCycle = "AsyncBufferingForward::Open, forwarding cycle refused : ";
};

template <typename T>
class Forwarders : public ::testing::Test {
protected:
    std::string Prefixed(const Appender& a, const std::string& text) const
    {
        return "[" + std::to_string(a.GetInstanceNumber()) + "] " + text;
    }
    ConfiguredAppenders config;
};
using ForwarderTypes = ::testing::Types<BufferingForwardAppender, AsyncBufferingForwardAppender>;
TYPED_TEST_SUITE(Forwarders, ForwarderTypes);

}  // namespace

TYPED_TEST(Forwarders, DuplicateReferencesDeliverTwiceAndAMiscasedKeyAddsNoName)
{
    auto a = this->config.Recorder("a");
    auto forwarder = this->config.template Forwarder<TypeParam>("fwd", {"a", "a"});
    forwarder->SetOption("Appender-Ref/Ref", "a");  // not the reference key
    forwarder->Open();
    Log(*forwarder, "twice");
    CloseQuietly(*forwarder);
    EXPECT_EQ(a->Messages(), (Strings{"twice", "twice"}));
}

TYPED_TEST(Forwarders, CloseForwardsTheRestClosesTheReferencedAppendersAndOpensAgain)
{
    auto a = this->config.Recorder("a");
    auto forwarder = this->config.template Forwarder<TypeParam>("fwd", {"a"});
    forwarder->SetOption("limitOfLogPacket/value", "3");
    ASSERT_TRUE(forwarder->Open());
    Log(*forwarder, "1");
    Log(*forwarder, "2");
    CloseQuietly(*forwarder);
    EXPECT_EQ(a->Messages(), (Strings{"1", "2"}));
    EXPECT_EQ(a->Calls(), (Strings{"Open", "Close"}));
    EXPECT_TRUE(forwarder->IsClosed());
    EXPECT_EQ(forwarder->GetNbOfPackets(), 0u);
    Log(*forwarder, "after close");
    EXPECT_EQ(forwarder->GetNbOfPackets(), 0u);

    ASSERT_TRUE(forwarder->Open());  // takes events again, and forwards a full batch before any Close
    for (const char* m : {"3", "4", "5"})
        Log(*forwarder, m);
    EXPECT_TRUE(Eventually([&] { return a->Events().size() == 5u; }));
    CloseQuietly(*forwarder);
    EXPECT_EQ(a->Messages(), (Strings{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(a->Calls(), (Strings{"Open", "Close", "Open", "Close"}));
}

TYPED_TEST(Forwarders, ACycleBackToItselfIsRefusedAtOpenWithADiagnosticNamingIt)
{
    auto self = this->config.template Forwarder<TypeParam>("self", {"self"});
    DiagnosticRecorder recorder;
    EXPECT_FALSE(self->Open());
    EXPECT_TRUE(self->IsClosed());
    EXPECT_TRUE(recorder.Contains(this->Prefixed(*self, std::string(Texts<TypeParam>::kCycle) + "[self -> self]")));
}
