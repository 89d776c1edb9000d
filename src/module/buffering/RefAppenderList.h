#pragma once
// The synchronous forwarder's referenced appenders, in insertion order, under a reader-writer lock:
// forwarding threads read it together, changes take it alone. Calls out to the appenders other than
// Append are made on a copy, without the lock.

#include <functional>
#include <memory>
#include <vector>

#include "host/Appender.h"
#include "os/Sync.h"

namespace Quorlin {

class RefAppenderList {
public:
    using List = std::vector<std::shared_ptr<Appender>>;

    RefAppenderList();
    // Releases every appender (without closing it).
    virtual ~RefAppenderList();
    RefAppenderList(const RefAppenderList&) = delete;
    RefAppenderList& operator=(const RefAppenderList&) = delete;

    // Appends at the end, under the exclusive lock.
    void Add(std::shared_ptr<Appender> appender);
    // Removes the first appender named exactly `name`; false if none is.
    bool Remove(const DString& name);
    // Replaces the whole list.
    void Assign(List appenders);
    std::shared_ptr<Appender> Find(const DString& name) const;
    // The first appender the predicate accepts; an empty predicate raises std::bad_function_call
    // when there is an appender to ask about.
    std::shared_ptr<Appender> Find(const std::function<bool(Appender*)>& predicate) const;
    // A copy of the list, for calls that must not hold the lock.
    List Snapshot() const;
    std::size_t Size() const;
    // Hands the event to every appender in order, under the shared lock.
    void AppendToAll(const LoggingEvent* event) const;

private:
    mutable os::RwLock m_Lock;
    std::unique_ptr<List> m_List;
};

}  // namespace Quorlin
