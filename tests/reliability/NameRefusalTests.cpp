// File names the platform cannot take: refused with a diagnostic, never cut or bent into the name of
// another file, and without harm to the other appenders.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "RollingTestSupport.h"
#include "LineVerifier.h"
#include "Recorders.h"
#include "file/FileAppender.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<RollingFileAppender> RollingAt(const fs::path& file, const fs::path& pattern)
{
    auto appender = std::make_unique<RollingFileAppender>();
    appender->SetLayout(std::make_shared<PatternLayout>("%m"));
    appender->SetOption("fileName/value", Text(file));
    appender->SetOption("fileNamePattern/value", Text(pattern));
    appender->SetOption("triggeringPolicy/maxFileSize/value", "4096");
    appender->SetOption("rollingPolicy/maxIndex/value", "3");
    appender->ActivateOptions();
    return appender;
}

int Count(const DiagnosticRecorder& recorder, const std::string& part)
{
    int n = 0;
    for (const std::string& text : recorder.Texts())
        n += text.find(part) != std::string::npos;
    return n;
}

} // namespace

TEST(NameRefusal, NamesThePlatformCannotTakeAreRefusedAndHarmNothingElse)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    FileAppender good;
    good.SetLayout(std::make_shared<PatternLayout>("%m"));
    good.SetOption("fileName/value", Text(dir.Path() / "good.log"));
    good.ActivateOptions();
    ASSERT_TRUE(good.Open());
    int logged = 0;

    std::vector<std::string> names = {std::string(300, 'n') + ".log", "d" + std::string(5000, 'x') + "/app.log"};
#ifdef _WIN32
    // Wildcards, redirections and quotes are no part of a Windows name; a colon would name a stream.
    for (const char* refused : {"app<1>.log", "app|1.log", "app?.log", "app*.log", "app\"1\".log", "app:1.log"})
        names.push_back(refused);
#endif
    for (const std::string& name : names) {
        SCOPED_TRACE(name.substr(0, 40));
        recorder.Clear();
        auto refused = RollingAt(dir.Path() / name, dir.Path() / "app.{RollingIndex}.log");
        EXPECT_FALSE(refused->Open());
        EXPECT_GE(Count(recorder, "FileWriter.File.Open, "), 2) << "entered and refused";
        Log(*refused, "never written");
        Log(good, NumberedLine(0, logged++));
    }

    // A history pattern too long: refused rather than cut, so the active file keeps everything.
    recorder.Clear();
    auto active = RollingAt(dir.Path() / "active.log", dir.Path() / (std::string(300, 'h') + ".{RollingIndex}.log"));
    ASSERT_TRUE(active->Open());
    for (int sequence = 0; sequence < 400; ++sequence)
        Log(*active, NumberedLine(0, sequence));
    active->Close();
    EXPECT_EQ(Count(recorder, "the file is not rolled over"), 1);
    LineVerifier activeLines(1);
    activeLines.ConsumeFile(dir.Path() / "active.log");
    EXPECT_EQ(activeLines.Problems(400), std::vector<std::string>{});

    good.Close();
    LineVerifier goodLines(1);
    goodLines.ConsumeFile(dir.Path() / "good.log");
    EXPECT_EQ(goodLines.Problems(logged), std::vector<std::string>{});
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"active.log", "good.log"}));
}
