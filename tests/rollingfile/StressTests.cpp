// Many producers across many size roll-overs: every event exactly once, in order per thread.
#include <gtest/gtest.h>

#include <thread>

#include "RollingTestSupport.h"
#include "frame/ModuleInfo.h"
#include "os/Module.h"

using namespace Quorlin;
using namespace QuorlinTest;
using namespace RollingTest;

namespace {

// The compressor is looked for beside the module; in the tests the module's code is the test binary,
// and gzip(.exe) is built beside it.
const bool g_ModuleLocated = [] {
    ModuleInfo::RecordLocation(DString(os::ThisModulePath().c_str()));
    return true;
}();

// "<thread> <sequence> <padding>" lines; checks each thread's sequence is complete and in order
// across the history (oldest first) and the active file.
void CheckEveryLineOnce(const std::filesystem::path& folder, int threads, int perThread, int maxIndex)
{
    const auto files = ReadHistory(folder);
    std::vector<int> next(static_cast<std::size_t>(threads), 0);
    auto consume = [&](const std::string& name, const std::string& content) {
        std::size_t pos = 0;
        while (pos < content.size()) {
            std::size_t end = content.find("\r\n", pos);
            if (end == std::string::npos)
                end = content.size();
            const std::string line = content.substr(pos, end - pos);
            pos = end + 2;
            if (line.empty() || line[0] == '-')
                continue;  // banners and trailers
            const std::size_t space = line.find(' ');
            ASSERT_NE(space, std::string::npos) << name << ": torn line [" << line << "]";
            const int thread = std::stoi(line.substr(0, space));
            const int sequence = std::stoi(line.substr(space + 1));
            ASSERT_LT(thread, threads) << line;
            ASSERT_EQ(sequence, next[static_cast<std::size_t>(thread)]) << name << ": thread " << thread;
            ++next[static_cast<std::size_t>(thread)];
        }
    };
    for (int index = maxIndex; index >= 1; --index) {
        const auto it = files.find("app." + std::to_string(index) + ".log.gz");
        if (it != files.end())
            consume(it->first, it->second);
        ASSERT_EQ(files.count("app." + std::to_string(index) + ".log"), 0u) << "left uncompressed: " << index;
    }
    consume("app.log", files.at("app.log"));
    for (int t = 0; t < threads; ++t)
        EXPECT_EQ(next[static_cast<std::size_t>(t)], perThread) << "thread " << t;
}

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
    std::vector<std::thread> producers;
    for (int t = 0; t < threads; ++t)
        producers.emplace_back([&appender, t, perThread] {
            std::string message;
            for (int i = 0; i < perThread; ++i) {
                message = std::to_string(t) + " " + std::to_string(i) + " padding-padding-padding";
                Log(appender, message);
            }
        });
    for (auto& p : producers)
        p.join();
    appender.Close();
    appender.WaitForCompressions();
    CheckEveryLineOnce(dir.Path(), threads, perThread, 121);
}

} // namespace

TEST(RollingStress, TwoProducersAcrossManyRollOvers) { Stress(2, 200000); }

TEST(RollingStress, FourProducersAcrossManyRollOvers) { Stress(4, 200000); }
