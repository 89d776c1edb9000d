#include "BufferingForwardAppender.h"

#include "buffering/RefAppenderList.h"
#include "diagnostics/Trace.h"
#include "host/ConfigManager.h"

namespace Quorlin {
namespace {

std::atomic<BufferingForwardAppender::Creator> g_Creator{nullptr};

}  // namespace

void BufferingForwardAppender::SetCreator(Creator creator) noexcept { g_Creator.store(creator, std::memory_order_release); }

BufferingForwardAppender::BufferingForwardAppender() : m_RefAppenderList(std::make_unique<RefAppenderList>())
{
    m_LimitOfPkt = 1;
    SetTypeName(DString(GetType()));
}

BufferingForwardAppender::~BufferingForwardAppender() = default;

ORBEK::Utility::StringView BufferingForwardAppender::GetType()
{
    return ORBEK::Utility::StringView::Literal("Appender.BufferingForward");
}

bool BufferingForwardAppender::Is(const ORBEK::Utility::StringView& type)
{
    return ORBEK::Utility::FindText(type, GetType(), 0, true) >= 0;
}

std::vector<std::shared_ptr<Appender>> BufferingForwardAppender::ResolveNames() const
{
    std::vector<std::shared_ptr<Appender>> found;
    for (const DString& name : m_RefNames)
        if (auto appender = Detail::ConfigManager::FindAppender(name))
            found.push_back(std::move(appender));
    return found;
}

std::vector<std::shared_ptr<Appender>> BufferingForwardAppender::ReferencedAppenders() const
{
    std::vector<std::shared_ptr<Appender>> all = ResolveNames();
    for (auto& appender : m_RefAppenderList->Snapshot())
        all.push_back(std::move(appender));
    return all;
}

bool BufferingForwardAppender::Open()
{
    Trace(LevelInfo, "[{$}] Enter BufferingForward.Open", m_InstanceNumber);
    m_RefAppenderList->Assign({});
    std::vector<std::shared_ptr<Appender>> found = ResolveNames();
    if (RefusesCycle(found, "BufferingForward.Open"))
        return false;
    m_RefAppenderList->Assign(std::move(found));
    const RefAppenderList::List list = m_RefAppenderList->Snapshot();
    Trace(LevelInfo, "[{$}] BufferingForward::Open, NbOfRefAppender : {$}", m_InstanceNumber, list.size());
    std::int32_t position = 0;
    for (const auto& appender : list) {
        if (appender->IsClosed())
            appender->Open();
        Trace(LevelInfo, "[{$}] BufferingForward, opening : [{$}] of {$}", m_InstanceNumber, position, appender->GetName());
        ++position;
    }
    return BufferingAppender::Open();
}

void BufferingForwardAppender::Close()
{
    Trace(LevelInfo, "[{$}] Enter BufferingForward.Close", m_InstanceNumber);
    {
        // Whatever was accepted reaches the referenced appenders before they close; events that
        // arrive from now on are refused.
        std::lock_guard<std::mutex> forwarding(m_ForwardMutex);
        LogPacketQueue::Packets rest = m_Queue.Seal();
        Forward(rest);
    }
    for (const auto& appender : m_RefAppenderList->Snapshot())
        appender->Close();
    BufferingAppender::Close();
}

void BufferingForwardAppender::SetOption(const DString& key, const DString& value)
{
    if (key.Find("appender-ref/ref") == 0) {
        m_RefNames.push_back(value);
        return;
    }
    BufferingAppender::SetOption(key, value);
}

void BufferingForwardAppender::ActivateOptions()
{
    for (const auto& appender : m_RefAppenderList->Snapshot())
        appender->ActivateOptions();
}

std::shared_ptr<Appender> BufferingForwardAppender::AddAppender(const char* type, const char* name)
{
    const Creator creator = g_Creator.load(std::memory_order_acquire);
    Appender* created = creator != nullptr ? creator(ORBEK::Utility::StringView(type)) : nullptr;
    if (created == nullptr)
        return {};
    std::shared_ptr<Appender> appender(created);
    appender->SetName(DString(name));
    appender->SetLayout(GetLayout());
    m_RefAppenderList->Add(appender);
    return appender;
}

bool BufferingForwardAppender::RemoveAppender(const char* name) { return m_RefAppenderList->Remove(DString(name)); }

std::shared_ptr<Appender> BufferingForwardAppender::FindAppender(const char* name) const
{
    return m_RefAppenderList->Find(DString(name));
}

std::shared_ptr<Appender> BufferingForwardAppender::FindAppender(std::function<bool(Appender*)> predicate) const
{
    return m_RefAppenderList->Find(predicate);
}

void BufferingForwardAppender::SendBuffer()
{
    const std::thread::id self = std::this_thread::get_id();
    if (m_ForwardingThread.load(std::memory_order_relaxed) == self) {
        m_ReentryPending = true;  // a referenced appender appended back into this one
        return;
    }
    std::lock_guard<std::mutex> forwarding(m_ForwardMutex);
    struct Owner {
        std::atomic<std::thread::id>& thread;
        ~Owner() { thread.store(std::thread::id(), std::memory_order_relaxed); }
    } owner{m_ForwardingThread};
    m_ForwardingThread.store(self, std::memory_order_relaxed);
    do {
        m_ReentryPending = false;
        LogPacketQueue::Packets packets = m_Queue.TakeAll();
        Forward(packets);
    } while (m_ReentryPending);
}

void BufferingForwardAppender::Forward(LogPacketQueue::Packets& packets)
{
    // The list lock is taken once per packet, so that adding and removing appenders need not wait
    // for a whole batch.
    for (auto& packet : packets)
        m_RefAppenderList->AppendToAll(packet.get());
    m_Queue.Recycle(packets);
}

}  // namespace Quorlin
