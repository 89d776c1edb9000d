#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "FaultTargets.h"
#include "Recorders.h"
#include "file/ExceptionFilter.h"

using namespace Quorlin;
using QuorlinTest::Diagnostic;

namespace {

using QuorlinTest::DivideByZero;
void AccessViolation(void* context) { QuorlinTest::WriteThroughNull(context); }
__attribute__((noinline)) void Throws(void*) { throw std::runtime_error("roll-over failed"); }
void Succeeds(void* flag) { *static_cast<bool*>(flag) = true; }

const ORBEK::Utility::DString kName("rolling-main");

}  // namespace

TEST(ExceptionFilter, AnAccessViolationIsNamedBeepedAndReported)
{
    QuorlinTest::DiagnosticRecorder recorder;
    QuorlinTest::RecordingOs os;
    EXPECT_FALSE(RunGuardedRollover(kName, &AccessViolation, nullptr));
    EXPECT_EQ(recorder.Lines(), (std::vector<Diagnostic>{
                                    {0, ""},
                                    {120000, "Enter ExceptionFilter."},
                                    {80000, "exception_access_violation"},
                                    {120000, "Exception at RollingFileAppender::Rollover"},
                                }));
    EXPECT_EQ(os.Calls(), (std::vector<std::string>{
                              "Beep|1000|1000",
                              "RegisterSource|rolling-main",
                              "ReportToSource|2|0|10000|Exception at RollingFileAppender::Rollover",
                              "DeregisterSource|handle",
                          }));
}

TEST(ExceptionFilter, ExceptionsAndOtherFaultsAreCaughtTooAndTheGuardCanBeUsedAgain)
{
    QuorlinTest::RecordingOs os;
    {
        QuorlinTest::DiagnosticRecorder recorder;
        EXPECT_FALSE(RunGuardedRollover(kName, &Throws, nullptr));
        // A code outside the table: only the entry message, the beep and the report.
        EXPECT_EQ(recorder.Texts(),
                  (std::vector<std::string>{"Enter ExceptionFilter.", "Exception at RollingFileAppender::Rollover"}));
    }
    {
        QuorlinTest::DiagnosticRecorder recorder;
        EXPECT_FALSE(RunGuardedRollover(kName, &DivideByZero, nullptr));
        EXPECT_TRUE(recorder.Contains("exception_int_divide_by_zero"));
    }
    bool ran = false;
    EXPECT_TRUE(RunGuardedRollover(kName, &Succeeds, &ran));
    EXPECT_TRUE(ran);
}
