#include "RefAppenderList.h"

#include <mutex>
#include <shared_mutex>

namespace Quorlin {

RefAppenderList::RefAppenderList()
{
    std::unique_lock<os::RwLock> lock(m_Lock);
    m_List = std::make_unique<List>();
}

RefAppenderList::~RefAppenderList()
{
    std::unique_ptr<List> list;
    {
        std::unique_lock<os::RwLock> lock(m_Lock);
        list = std::move(m_List);
    }
    // Released outside the lock: a last reference may destroy an appender that takes locks of its own.
}

void RefAppenderList::Add(std::shared_ptr<Appender> appender)
{
    std::unique_lock<os::RwLock> lock(m_Lock);
    m_List->push_back(std::move(appender));
}

bool RefAppenderList::Remove(const DString& name)
{
    std::shared_ptr<Appender> removed;
    std::unique_lock<os::RwLock> lock(m_Lock);
    for (auto it = m_List->begin(); it != m_List->end(); ++it) {
        if ((*it)->GetName() == name) {
            removed = std::move(*it);
            m_List->erase(it);
            lock.unlock();
            return true;
        }
    }
    return false;
}

void RefAppenderList::Assign(List appenders)
{
    std::unique_lock<os::RwLock> lock(m_Lock);
    m_List->swap(appenders);
    lock.unlock();
}

std::shared_ptr<Appender> RefAppenderList::Find(const DString& name) const
{
    std::shared_lock<os::RwLock> lock(m_Lock);
    for (const auto& appender : *m_List)
        if (appender->GetName() == name)
            return appender;
    return {};
}

std::shared_ptr<Appender> RefAppenderList::Find(const std::function<bool(Appender*)>& predicate) const
{
    std::shared_lock<os::RwLock> lock(m_Lock);
    for (const auto& appender : *m_List)
        if (predicate(appender.get()))
            return appender;
    return {};
}

RefAppenderList::List RefAppenderList::Snapshot() const
{
    std::shared_lock<os::RwLock> lock(m_Lock);
    return *m_List;
}

std::size_t RefAppenderList::Size() const
{
    std::shared_lock<os::RwLock> lock(m_Lock);
    return m_List->size();
}

void RefAppenderList::AppendToAll(const LoggingEvent* event) const
{
    std::shared_lock<os::RwLock> lock(m_Lock);
    for (const auto& appender : *m_List)
        appender->Append(event);
}

}  // namespace Quorlin
