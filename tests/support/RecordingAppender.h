#pragma once
// An appender that records what reaches it, and configured appenders that are forgotten after a test.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/Appender.h"
#include "Events.h"
#include "host/ConfigManager.h"

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
    void Record(std::string call);
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
    // A forwarder of type T named `name`, referring to `refs` by name.
    template <typename T>
    std::shared_ptr<T> Forwarder(const char* name, std::vector<const char*> refs)
    {
        auto forwarder = Add(std::make_shared<T>());
        forwarder->SetName(Quorlin::DString(name));
        for (const char* ref : refs)
            forwarder->SetOption("appender-ref/ref", Quorlin::DString(ref));
        return forwarder;
    }
};

// Closes the appender and returns what it printed to standard output.
std::string CloseQuietly(Quorlin::Appender& appender);

// Waits (polling, up to a minute) until `done` holds; false if it never did.
bool Eventually(const std::function<bool()>& done);

}  // namespace QuorlinTest
