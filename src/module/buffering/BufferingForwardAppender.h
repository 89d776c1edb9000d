#pragma once
// "Appender.BufferingForward": buffers events and forwards every buffered one, in the appending
// thread, to its referenced appenders (by default after every event). Exported from the module, so
// that a program linked against it can create one and manage its referenced appenders at run time.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "buffering/BufferingAppender.h"
#include "diagnostics/Export.h"
#include "utility/StringView.h"

namespace Quorlin {

class RefAppenderList;

class QUORLIN_APPENDER_API BufferingForwardAppender : public BufferingAppender {
public:
    BufferingForwardAppender();
    // Releases the referenced appenders without closing them; packets still buffered are destroyed.
    ~BufferingForwardAppender() override;

    // Rebuilds the referenced appenders from the "appender-ref/ref" names (through the configuration
    // manager), opens those that are closed, then opens this one; true. False, with the appender
    // left closed and nothing referenced, when the names lead back to this appender (a cycle).
    bool Open() override;
    // Forwards what is still buffered, closes the referenced appenders, then this one.
    void Close() override;
    // "appender-ref/ref" (key begins with it, case-sensitive) adds a name; others go to BufferingAppender.
    void SetOption(const DString& key, const DString& value) override;
    // ActivateOptions of every referenced appender; nothing for this one.
    void ActivateOptions() override;

    // What AddAppender asks for a new appender: the module's factory, which sits above the appenders
    // and hands itself down at start-up. Null (the default) creates nothing.
    using Creator = Appender* (*)(const ORBEK::Utility::StringView& type);
    static void SetCreator(Creator creator) noexcept;

    // A new appender of `type` from the creator (the module's factory), named `name`, sharing this
    // appender's layout, added at the end of the referenced appenders (not activated, not opened).
    // Empty when the creator makes none. Null texts are empty texts.
    std::shared_ptr<Appender> AddAppender(const char* type, const char* name);
    // Drops the first referenced appender named exactly `name` (without closing it); false if none.
    bool RemoveAppender(const char* name);
    // The first referenced appender named exactly `name`, or empty.
    std::shared_ptr<Appender> FindAppender(const char* name) const;
    // The first referenced appender the predicate accepts, or empty; an empty predicate raises
    // std::bad_function_call when there is an appender to ask about.
    std::shared_ptr<Appender> FindAppender(std::function<bool(Appender*)> predicate) const;

    // "Appender.BufferingForward", with its hash.
    static ORBEK::Utility::StringView GetType();
    // True when the text contains "Appender.BufferingForward", whatever the case.
    static bool Is(const ORBEK::Utility::StringView& type);

    // The referenced appenders and those the configured names lead to.
    std::vector<std::shared_ptr<Appender>> ReferencedAppenders() const override;

private:
    // Takes every buffered packet and hands each, in order, to every referenced appender before the
    // next one. One batch at a time, so that each thread's events arrive in the order appended.
    void SendBuffer() override;
    void Forward(LogPacketQueue::Packets& packets);
    std::vector<std::shared_ptr<Appender>> ResolveNames() const;

    std::unique_ptr<RefAppenderList> m_RefAppenderList;
    std::vector<DString> m_RefNames;
    std::mutex m_ForwardMutex;
    // The thread inside SendBuffer, so that an appender forwarding back into this one from that
    // thread leaves its events to the batch loop instead of waiting on itself.
    std::atomic<std::thread::id> m_ForwardingThread{};
    bool m_ReentryPending = false;  // written only by m_ForwardingThread
};

}  // namespace Quorlin
