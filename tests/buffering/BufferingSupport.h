#pragma once
// Test doubles for the forwarding appenders: an appender that records what reaches it, an OS fake
// that records pauses instead of sleeping, and configured appenders that are forgotten after a test.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/Appender.h"
#include "host/ConfigManager.h"
#include "os/Interposer.h"

namespace QuorlinTest {

struct Delivered {
    std::string message;
    std::int32_t level;
    std::uint64_t thread;  // the thread that delivered it
};

// Records every event it accepts, with the thread that handed it over.
class RecordingAppender : public Quorlin::Appender {
public:
    explicit RecordingAppender(const char* name);

    void Append(const Quorlin::LoggingEvent* event) override;
    bool Open() override;
    void Close() override;
    void SetOption(const Quorlin::DString& key, const Quorlin::DString& value) override;
    void ActivateOptions() override;

    std::vector<Delivered> Events() const;
    std::vector<std::string> Messages() const;
    // "Open", "Close", "ActivateOptions", "SetOption|key|value", in order.
    std::vector<std::string> Calls() const;
    // Runs inside Append, after the event is recorded and without the recorder's lock.
    std::function<void(const Quorlin::LoggingEvent&)> onAppend;

private:
    mutable std::mutex m_Mutex;
    std::vector<Delivered> m_Events;
    std::vector<std::string> m_Calls;
};

// A configured appender of that name, known to the configuration manager until the test ends.
class ConfiguredAppenders {
public:
    ~ConfiguredAppenders() { Quorlin::Detail::ConfigManager::ClearAppenders(); }
    template <typename T>
    std::shared_ptr<T> Add(std::shared_ptr<T> appender)
    {
        Quorlin::Detail::ConfigManager::AddAppender(appender);
        return appender;
    }
    std::shared_ptr<RecordingAppender> Recorder(const char* name) { return Add(std::make_shared<RecordingAppender>(name)); }
};

// Records each SleepMs instead of sleeping.
class SleepRecorder : public Quorlin::os::Interposer {
public:
    SleepRecorder() : m_Previous(Quorlin::os::Interpose(this)) {}
    ~SleepRecorder() override { Quorlin::os::Interpose(m_Previous); }
    void SleepMs(std::uint32_t milliseconds) override;
    std::vector<std::uint32_t> Sleeps() const;

private:
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

// Appends one event with that message and level; the event and its text die when the call returns.
void Log(Quorlin::Appender& appender, const std::string& message, std::int32_t level = 50000);

// Closes the appender and returns what it printed to standard output.
std::string CloseQuietly(Quorlin::Appender& appender);

// Waits (polling, up to a minute) until `done` holds; false if it never did.
bool Eventually(const std::function<bool()>& done);

} // namespace QuorlinTest
