#include "Factory.h"

#include "appenders/ColoredConsoleAppender.h"
#include "appenders/ConsoleAppender.h"
#include "appenders/MemoryAppender.h"
#include "appenders/NullAppender.h"
#include "appenders/WinDebugAppender.h"
#include "appenders/WinEventLogAppender.h"
#include "buffering/AsyncBufferingForwardAppender.h"
#include "buffering/BufferingForwardAppender.h"
#include "diagnostics/ModuleInfo.h"
#include "diagnostics/Trace.h"
#include "file/FileAppender.h"
#include "file/RollingFileAppender.h"
#include "host/ConfigManager.h"
#include "network/SyslogAppender.h"

namespace Quorlin {
namespace {

using ORBEK::Utility::StringView;

struct Row {
    StringView type;
    Appender* (*create)();
};

template <typename T>
Appender* Make()
{
    return new T();
}

// Registration and matching order. "Appender.Console" must come after "Appender.ColoredConsole",
// and "Appender.AsyncBufferingForward" before "Appender.BufferingForward": the first row whose
// name the text contains wins.
const Row kRows[] = {
    {StringView::Literal("Appender.File"), &Make<FileAppender>},
    {StringView::Literal("Appender.RollingFile"), &Make<RollingFileAppender>},
    {StringView::Literal("Appender.ColoredConsole"), &Make<ColoredConsoleAppender>},
    {StringView::Literal("Appender.Console"), &Make<ConsoleAppender>},
    {StringView::Literal("Appender.Null"), &Make<NullAppender>},
    {StringView::Literal("Appender.AsyncBufferingForward"), &Make<AsyncBufferingForwardAppender>},
    {StringView::Literal("Appender.BufferingForward"), &Make<BufferingForwardAppender>},
    {StringView::Literal("Appender.Memory"), &Make<MemoryAppender>},
    {StringView::Literal("Appender.WindowsEventLog"), &Make<WinEventLogAppender>},
    {StringView::Literal("Appender.WindowsDebug"), &Make<WinDebugAppender>},
    {StringView::Literal("Appender.Syslog"), &Make<SyslogAppender>},
};

}  // namespace

void Factory::Register()
{
    LogLog::NewLine();
    Trace(LevelInfo, "Enter Factory::Register");
    for (const Row& row : kRows)
        Detail::ConfigManager::Register(row.type, StringView(ModuleInfo::Path()));
}

Appender* Factory::CreateAppender(const StringView& type)
{
    if (type.GetLength() == 0)
        return nullptr;
    LogLog::NewLine();
    Trace(LevelInfo, "Enter Factory::CreateAppender, type : [{$}]", type);
    for (const Row& row : kRows) {
        if (ORBEK::Utility::FindText(type, row.type, 0, true) < 0)
            continue;
        Appender* appender = row.create();
        appender->SetTypeName(DString(row.type));
        return appender;
    }
    Trace(LevelError, "Leave Factory::CreateAppender, invalid type : [{$}]. Maybe you forget to tell me the dllName !", type);
    return nullptr;
}

}  // namespace Quorlin
