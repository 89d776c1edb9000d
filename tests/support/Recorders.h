#pragma once
// Test doubles: a diagnostics sink, OS fakes and a thread pool log that record what reaches them.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/LogLog.h"
#include "os/Interposer.h"

namespace QuorlinTest {

struct Diagnostic {
    std::int32_t level;  // 0 for a NewLine
    std::string text;
    bool operator==(const Diagnostic&) const = default;
};

// How many of the texts contain `part`.
int Mentions(const std::vector<std::string>& texts, const std::string& part);

// Turns diagnostics on into itself while it lives; restores the previous sink after.
class DiagnosticRecorder : public Quorlin::LogSink {
public:
    DiagnosticRecorder() : m_Previous(Quorlin::LogLog::SetSink(this)) {}
    ~DiagnosticRecorder() override { Quorlin::LogLog::SetSink(m_Previous); }

    void Flush(std::int32_t level, const char* text, std::int32_t length) override
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Lines.push_back({level, std::string(text, static_cast<std::size_t>(length))});
    }
    void NewLine() override
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Lines.push_back({0, ""});
    }
    std::vector<Diagnostic> Lines() const
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Lines;
    }
    // The texts only, NewLines left out.
    std::vector<std::string> Texts() const;
    bool Contains(const std::string& text) const;
    int Mentions(const std::string& part) const { return QuorlinTest::Mentions(Texts(), part); }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Lines.clear();
    }

private:
    Quorlin::LogSink* m_Previous;
    mutable std::mutex m_Mutex;
    std::vector<Diagnostic> m_Lines;
};

// Records console, debugger, event-log and beep calls instead of making them.
class RecordingOs : public Quorlin::os::Interposer {
public:
    using ConsoleHandle = Quorlin::os::ConsoleHandle;
    using EventSource = Quorlin::os::EventSource;
    RecordingOs() : m_Previous(Quorlin::os::Interpose(this)) {}
    ~RecordingOs() override { Quorlin::os::Interpose(m_Previous); }

    bool AllocateConsole() override
    {
        Add("AllocateConsole");
        return consoleAllocates;
    }
    void ReleaseConsole() override { Add("ReleaseConsole"); }
    ConsoleHandle StdOutConsole() override { return console; }
    void SetConsoleOutputMode(ConsoleHandle handle, std::uint32_t mode) override
    {
        Add("SetConsoleOutputMode|" + std::to_string(handle) + "|" + std::to_string(mode));
    }
    void WriteToConsole(ConsoleHandle handle, const char* text, std::uint32_t size) override
    {
        Add("WriteToConsole|" + std::to_string(handle) + "|", std::string(text, size));
    }
    void PutConsoleText(const char* text) override { Add("PutConsoleText|", text); }
    EventSource RegisterSource(const char* source) override;
    void ReportToSource(EventSource source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                        const char* text) override;
    void DeregisterSource(EventSource source) override
    {
        Add(std::string("DeregisterSource|") + (source == nullptr ? "null" : "handle"));
    }
    void DebugOutput(const char* text) override { Add(std::string("DebugOutput|") + text); }
    void Beep(std::uint32_t frequency, std::uint32_t milliseconds) override
    {
        Add("Beep|" + std::to_string(frequency) + "|" + std::to_string(milliseconds));
    }

    // What the fake does.
    bool consoleAllocates = false;
    ConsoleHandle console = 7;
    bool sourceRegisters = true;

    // What it saw, in order: one line per call ("PutConsoleText|text", "SetConsoleOutputMode|7|1", ...).
    std::vector<std::string> Calls() const;
    // The bytes written to the console, by either call.
    std::string ConsoleBytes() const;
    void Clear();

private:
    // One call, with the bytes it wrote to the console (part of the call's line too).
    void Add(const std::string& call, const std::string& console = {});
    Quorlin::os::Interposer* m_Previous;
    mutable std::mutex m_Mutex;
    std::vector<std::string> m_Calls;
    std::string m_Console;
};

// Records each SleepMs instead of sleeping.
class SleepRecorder : public Quorlin::os::Interposer {
public:
    SleepRecorder() : m_Previous(Quorlin::os::Interpose(this)) {}
    ~SleepRecorder() override { Quorlin::os::Interpose(m_Previous); }
    void SleepMs(std::uint32_t milliseconds) override;
    std::vector<std::uint32_t> Sleeps() const;
    // Called after each recorded sleep, outside the recorder's lock: plays whatever the sleep waits for.
    void OnSleep(std::function<void()> hook) { m_OnSleep = std::move(hook); }

private:
    std::function<void()> m_OnSleep;
    Quorlin::os::Interposer* m_Previous;
    mutable std::mutex m_Mutex;
    std::vector<std::uint32_t> m_Sleeps;
};

// Records what the thread pool logs (each schedule call) while it lives.
class PoolLogRecorder {
public:
    PoolLogRecorder();
    ~PoolLogRecorder();
    PoolLogRecorder(const PoolLogRecorder&) = delete;
    PoolLogRecorder& operator=(const PoolLogRecorder&) = delete;
    std::vector<std::string> Lines() const;
    // How many lines equal `text`.
    int Count(const std::string& text) const;

private:
    static void Record(int level, const char* text);
    void (*m_Previous)(int, const char*);
};

}  // namespace QuorlinTest
