// The hot paths one at a time: the diagnostic formatter, the layout pass, the buffered writer, the
// triggering tests, the packet copy, the asynchronous producer step and the file writer's own cost
// per event, by one and by several threads.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "PosixIO.h"
#include "appenders/NullAppender.h"
#include "buffering/AsyncBufferingForwardAppender.h"
#include "buffering/LogPacket.h"
#include "diagnostics/Trace.h"
#include "file/FileWriter.h"
#include "file/SizeBasedTriggerPolicy.h"
#include "file/TimeBasedTriggerPolicy.h"
#include "host/ConfigManager.h"
#include "host/Layout.h"
#include "host/LoggingEvent.h"
#include "os/Clock.h"

namespace fs = std::filesystem;
using namespace Quorlin;

namespace {

const std::string kMessage = "ev 0 0000000001 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";  // 55 bytes, as compare_bench

LoggingEvent MakeEvent()
{
    LoggingEvent event;
    event.m_LoggerName = "root";
    event.m_Message = kMessage.data();
    event.m_MessageLength = static_cast<std::int32_t>(kMessage.size());
    event.m_Level = 50000;
    event.m_ThreadId = 12345;
    event.m_TimeStamp = os::NowTicks();
    return event;
}

void FormatTraceTemplate(benchmark::State& state)
{
    char out[512];
    const TraceArg args[] = {TraceArg("Appender.RollingFile"), TraceArg(std::int64_t{10485760}), TraceArg(0x1234u)};
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatTrace(out, sizeof out - 1, "[{$}] rolled at {$} bytes, status {$:x08}", args, 3));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FormatTraceTemplate);

void LayoutFormat(benchmark::State& state)
{
    const PatternLayout layout("%d [%-5p] [%-8t] %m");
    LoggingEvent event = MakeEvent();
    char out[1024];
    for (auto _ : state) {
        ++event.m_TimeStamp;
        benchmark::DoNotOptimize(layout.Format(out, sizeof out, &event));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 98);
}
BENCHMARK(LayoutFormat);

// Batches of 8,192 bytes into a file (the rolling appender's buffer), the file truncated now and then.
void BufferedWriterWrite(benchmark::State& state)
{
    const fs::path file = fs::temp_directory_path() / "quorlin-micro-buffered.log";
    auto inner = std::make_unique<FileWriter>();
    if (!inner->Open(WString(file.wstring().c_str()))) {
        state.SkipWithError("cannot open the file");
        return;
    }
    BufferedWriter writer(std::move(inner), 8192);
    const std::string prefix = "2026-01-01 00:00:00.000 [INFO ] [12345   ] ";
    for (auto _ : state) {
        writer.Write(50000, prefix.data(), static_cast<std::int32_t>(prefix.size()), kMessage.data(),
                     static_cast<std::int32_t>(kMessage.size()));
        writer.NewLine();
    }
    writer.Close();
    fs::remove(file);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 100);
}
BENCHMARK(BufferedWriterWrite);

// One event with its line end through the file appender's writer to the null device, against one
// write() of the same bytes: what the writer adds to each system call.
void FileWriterWriteEvent(benchmark::State& state)
{
    static FileWriter* writer = nullptr;
    if (state.thread_index() == 0) {
        writer = new FileWriter();
        if (!writer->Open(WString(L"/dev/null")))
            state.SkipWithError("cannot open the null device");
    }
    const std::string line = "2026-01-01 00:00:00.000 [INFO ] [12345   ] " + kMessage;
    for (auto _ : state)
        writer->WriteEvent(50000, line, true);
    if (state.thread_index() == 0) {
        writer->Close();
        delete writer;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 100);
}
BENCHMARK(FileWriterWriteEvent)->Threads(1)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

void RawWriteNullDevice(benchmark::State& state)
{
    std::FILE* device = std::fopen("/dev/null", "wb");
    const std::string line = "2026-01-01 00:00:00.000 [INFO ] [12345   ] " + kMessage + "\r\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(BenchIO::WriteAll(fileno(device), line.data(), line.size()));
    std::fclose(device);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 100);
}
BENCHMARK(RawWriteNullDevice)->UseRealTime();

void SizeTrigger(benchmark::State& state)
{
    SizeBasedTriggerPolicy policy;
    policy.SetOption("triggeringPolicy/maxFileSize/value", "10MB");
    policy.ActivateOptions();
    const LoggingEvent event = MakeEvent();
    std::uint64_t size = 0;
    for (auto _ : state) {
        size = (size + 100) & 0xFFFFFF;
        benchmark::DoNotOptimize(policy.IsTriggered(nullptr, &event, size));
    }
}
BENCHMARK(SizeTrigger);

void TimeTrigger(benchmark::State& state)
{
    TimeBasedTriggerPolicy policy;
    policy.SetOption("triggeringPolicy/interval/value", "1d");
    policy.ActivateOptions();
    const LoggingEvent event = MakeEvent();
    for (auto _ : state)
        benchmark::DoNotOptimize(policy.IsTriggered(nullptr, &event, 0));
}
BENCHMARK(TimeTrigger);

void PacketCopy(benchmark::State& state)
{
    const LoggingEvent event = MakeEvent();
    for (auto _ : state) {
        LogPacket packet(event);
        benchmark::DoNotOptimize(&packet);
    }
}
BENCHMARK(PacketCopy);

// The logging thread's part of the asynchronous forwarder; its worker forwards to a null appender.
void AsyncProducerAppend(benchmark::State& state)
{
    auto null = std::make_shared<NullAppender>();
    null->SetName("bench-null");
    Detail::ConfigManager::AddAppender(null);
    AsyncBufferingForwardAppender async;
    async.SetOption("appender-ref/ref", "bench-null");
    async.Open();
    LoggingEvent event = MakeEvent();
    for (auto _ : state) {
        ++event.m_TimeStamp;
        async.Append(&event);
    }
    async.Close();  // prints its closing line on standard output
    Detail::ConfigManager::ClearAppenders();
}
BENCHMARK(AsyncProducerAppend)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
