// Many producers across many size roll-overs: every event exactly once, in order per thread.
#include <gtest/gtest.h>

#include "LineVerifier.h"
#include "RollingTestSupport.h"
#include "diagnostics/ModuleInfo.h"
#include "os/Module.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

// The compressor is looked for beside the module; in the tests the module's code is the test binary,
// and gzip(.exe) is built beside it.
const bool g_ModuleLocated = [] {
    ModuleInfo::RecordLocation(DString(os::ThisModulePath().c_str()));
    return true;
}();

void Stress(int threads, int perThread)
{
    TempDir dir;
    RollingFileAppender appender;
    appender.SetLayout(std::make_shared<PatternLayout>("%m"));
    appender.SetOption("fileName/value", Text(dir.Path() / "app.log"));
    appender.SetOption("fileNamePattern/value", Text(dir.Path() / "app.{RollingIndex}.log"));
    appender.SetOption("triggeringPolicy/maxFileSize/value", "1MB");
    appender.SetOption("rollingPolicy/maxIndex/value", "121");
    appender.SetOption("appendToFile/value", "false");
    appender.ActivateOptions();
    ASSERT_TRUE(appender.Open());
    WriteNumberedLines(threads, perThread, [&appender](const std::string& line) { Log(appender, line); });
    appender.Close();
    appender.WaitForCompressions();
    LineVerifier verifier(threads);
    for (const auto& file : FixedWindowFiles(dir.Path(), "app", ".log", 121)) {
        EXPECT_EQ(file.extension() == ".gz" || file.filename() == "app.log", true) << "left uncompressed: " << file;
        verifier.ConsumeFile(file);
    }
    EXPECT_EQ(verifier.Problems(perThread), std::vector<std::string>{});
}

} // namespace

TEST(RollingStress, TwoProducersAcrossManyRollOvers) { Stress(2, 200000); }

TEST(RollingStress, FourProducersAcrossManyRollOvers) { Stress(4, 200000); }
