#include <gtest/gtest.h>

#include <memory>

#include "Recorders.h"
#include "appenders/ColoredConsoleAppender.h"
#include "appenders/ConsoleAppender.h"
#include "buffering/AsyncBufferingForwardAppender.h"
#include "buffering/BufferingForwardAppender.h"
#include "diagnostics/ModuleInfo.h"
#include "factory/Factory.h"
#include "host/ConfigManager.h"
#include "os/EntryPoint.h"
#include "os/Module.h"
#include "os/Path.h"
#include "utility/ThreadPool.h"

using namespace Quorlin;
using ORBEK::Utility::StringView;
using QuorlinTest::DiagnosticRecorder;

namespace {

std::unique_ptr<Appender> Create(const char* type)
{
    return std::unique_ptr<Appender>(Factory::CreateAppender(StringView(type)));
}

}  // namespace

TEST(Factory, MatchesCaseInsensitiveContainmentAndSetsTheRowsTypeName)
{
    for (const char* text : {"Appender.Console", "APPENDER.CONSOLE", "x.appender.console.y"}) {
        auto appender = Create(text);
        ASSERT_NE(appender, nullptr) << text;
        EXPECT_NE(dynamic_cast<ConsoleAppender*>(appender.get()), nullptr);
        EXPECT_EQ(appender->GetType(), "Appender.Console");
        EXPECT_TRUE(appender->GetName().IsEmpty());  // the owner names it
    }
}

TEST(Factory, UnknownTypesAreRefusedWithTheInvalidTypeMessage)
{
    DiagnosticRecorder recorder;
    EXPECT_EQ(Create("Appender.Buffering"), nullptr);  // the base of the forwarders is not a type of its own
    EXPECT_EQ(Create("Appender.Consol"), nullptr);
    EXPECT_TRUE(recorder.Contains("Leave Factory::CreateAppender, invalid type : [Appender.Consol]. Maybe you forget to "
                                  "tell me the dllName !"));
    EXPECT_TRUE(recorder.Contains("Leave Factory::CreateAppender, invalid type : [Appender.Buffering]. Maybe you forget to "
                                  "tell me the dllName !"));
}

TEST(Startup, RecordsTheModuleLocationRegistersTenTypesInOrderAndPreparesThePool)
{
    Detail::ConfigManager::ClearRegistrations();
    DiagnosticRecorder recorder;
    const auto callsBefore = ORBEK::Utility::Manager::Calls().size();
    OnModuleLoad();

    const std::string path = os::ThisModulePath();
    EXPECT_EQ(ModuleInfo::Path(), DString(path.c_str()));
    const DString& dir = ModuleInfo::Directory();
    ASSERT_GT(dir.GetLength(), 0);
    EXPECT_EQ(static_cast<wchar_t>(dir[dir.GetLength() - 1]), os::PathSeparator());
    EXPECT_EQ(path.rfind(dir.c_str(), 0), 0u);

    const auto registrations = Detail::ConfigManager::Registrations();
    const std::vector<std::string> expected = {"Appender.File",
                                               "Appender.RollingFile",
                                               "Appender.ColoredConsole",
                                               "Appender.Console",
                                               "Appender.Null",
                                               "Appender.AsyncBufferingForward",
                                               "Appender.BufferingForward",
                                               "Appender.Memory",
                                               "Appender.WindowsEventLog",
                                               "Appender.WindowsDebug",
                                               "Appender.Syslog"};
    ASSERT_EQ(registrations.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(registrations[i].type, expected[i]);
        EXPECT_EQ(registrations[i].modulePath, path);
    }
    EXPECT_EQ(recorder.Lines().at(1), (QuorlinTest::Diagnostic{50000, "Enter Factory::Register"}));

    // Logging is off in the test: the pool gets no logger, then is prepared.
    const auto calls = ORBEK::Utility::Manager::Calls();
    ASSERT_EQ(calls.size(), callsBefore + 2);
    EXPECT_EQ(calls[callsBefore], "SetLogger(null)");
    EXPECT_EQ(calls[callsBefore + 1], "Prepare");
}
