#include "Framework.h"

#include <algorithm>
#include <atomic>

#include "ConfigManager.h"
#include "LogLog.h"
#include "System.h"

namespace Quorlin {
namespace {

using CreateAppenderFn = Appender* (*)(const char* type, void* reserved);

// Sequence numbers are unique and increase within each thread. Threads take them from the shared
// counter a block at a time, so that logging threads do not contend for one cache line per event.
std::atomic<std::int64_t> g_Sequence{0};
constexpr std::int64_t kSequenceBlock = 4096;

// What each logging thread keeps: the event it fills in (made once per thread, so logging allocates
// nothing) and the rest of its block of sequence numbers.
struct ThreadState {
    LoggingEvent event;
    std::int64_t nextSequence = 0;
    std::int64_t endSequence = 0;
};

// Not inlined: one look-up of the thread-local state per event, not one per use.
[[gnu::noinline]] ThreadState& ThisThread()
{
    thread_local ThreadState state = [] {
        ThreadState s;
        s.event.m_LoggerName = "root";
        s.event.m_ThreadId = static_cast<std::int32_t>(Detail::System::CurrentThreadId());
        return s;
    }();
    return state;
}

bool IsReferenceKey(const std::string& key) { return key.rfind("appender-ref", 0) == 0; }

}  // namespace

Framework::Framework() = default;

Framework::~Framework()
{
    Stop();
    for (void* module : m_Modules)
        Detail::System::FreeModule(module);
}

void* Framework::LoadModuleFor(const std::string& path, std::string& error)
{
    std::string reason;
    void* module = Detail::System::LoadModule(path, reason);
    if (module == nullptr) {
        error = "cannot load module '" + path + "': " + reason;
        return nullptr;
    }
    m_Modules.push_back(module);
    return module;
}

StartError Framework::Start(const Configuration& config, const std::string& modulePath, std::string& error)
{
    Stop();
    void* defaultModule = LoadModuleFor(modulePath, error);
    if (defaultModule == nullptr)
        return StartError::Configuration;

    for (const AppenderConfig& ac : config.appenders) {
        // The module that registered the type creates it; the default module answers anything else.
        void* module = defaultModule;
        const std::string registered = Detail::ConfigManager::ModuleForType(ac.type);
        if (!registered.empty() && registered != modulePath && (module = LoadModuleFor(registered, error)) == nullptr)
            return Stop(), StartError::Configuration;
        auto create = reinterpret_cast<CreateAppenderFn>(Detail::System::ModuleSymbol(module, "CreateAppender"));
        if (create == nullptr) {
            error = "module for type '" + ac.type + "' exports no CreateAppender";
            return Stop(), StartError::Configuration;
        }
        std::shared_ptr<Appender> appender(create(ac.type.c_str(), nullptr));
        if (!appender) {
            error = config.source + ":" + std::to_string(ac.line) + ": appender '" + ac.name + "' could not be created: type '" +
                    ac.type + "' is unknown";
            return Stop(), StartError::Appender;
        }
        appender->SetName(DString(ac.name.c_str()));
        appender->SetLayout(std::make_shared<PatternLayout>(ac.layout.empty() ? PatternLayout::kDefaultPattern : ac.layout));
        appender->SetThreshold(ac.threshold);
        Created created{appender, {}};
        for (const auto& [key, value] : ac.options) {
            appender->SetOption(DString(key.c_str()), DString(value.c_str()));
            if (IsReferenceKey(key))
                created.references.push_back(value);
        }
        Detail::ConfigManager::AddAppender(appender);
        m_Appenders.push_back(std::move(created));
    }
    for (Created& c : m_Appenders)
        c.appender->ActivateOptions();
    // A forwarder opens the appenders it references itself; those are not opened twice.
    for (std::size_t i = 0; i < m_Appenders.size(); ++i) {
        Appender& a = *m_Appenders[i].appender;
        if (a.IsClosed() && (!a.Open() || a.IsClosed())) {
            error = config.source + ":" + std::to_string(config.appenders[i].line) + ": appender '" +
                    std::string(a.GetName().StdView()) + "' (" + config.appenders[i].type + ") could not be opened";
            return Stop(), StartError::Appender;
        }
    }
    m_RootLevel = config.rootLevel;
    for (const std::string& name : config.rootRefs)
        if (auto a = Find(name))
            m_Root.push_back(a);
    return StartError::None;
}

void Framework::Log(std::int32_t level, const char* message, std::int32_t length)
{
    if (level >= m_RootLevel)
        Log(level, message, length, Detail::System::NowTicks());
}

void Framework::Log(std::int32_t level, const char* message, std::int32_t length, std::int64_t timeStamp)
{
    if (level < m_RootLevel)
        return;
    ThreadState& state = ThisThread();
    if (state.nextSequence == state.endSequence) {
        state.nextSequence = g_Sequence.fetch_add(kSequenceBlock, std::memory_order_relaxed);
        state.endSequence = state.nextSequence + kSequenceBlock;
    }
    LoggingEvent& event = state.event;
    event.m_Message = message;
    event.m_MessageLength = length;
    event.m_Level = level;
    event.m_TimeStamp = timeStamp;
    event.m_SequenceNumber = state.nextSequence++;
    for (const auto& appender : m_Root)
        appender->Append(&event);
}

void Framework::Stop()
{
    m_Root.clear();
    // Close each appender after every appender that references it, so that what a forwarder still
    // holds reaches its targets before they close. A cycle is closed in file order.
    std::vector<Created> remaining = std::move(m_Appenders);
    m_Appenders.clear();
    while (!remaining.empty()) {
        std::vector<Created> next;
        for (std::size_t i = 0; i < remaining.size(); ++i) {
            const std::string name(remaining[i].appender->GetName().StdView());
            const bool referenced = std::any_of(remaining.begin(), remaining.end(), [&](const Created& other) {
                return &other != &remaining[i] &&
                       std::find(other.references.begin(), other.references.end(), name) != other.references.end();
            });
            if (referenced)
                next.push_back(remaining[i]);
            else if (!remaining[i].appender->IsClosed())
                remaining[i].appender->Close();
        }
        if (next.size() == remaining.size()) {
            for (Created& c : next)
                if (!c.appender->IsClosed())
                    c.appender->Close();
            next.clear();
        }
        remaining = std::move(next);
    }
    Detail::ConfigManager::ClearAppenders();
}

void* Framework::ModuleSymbol(const char* name) const
{
    for (void* module : m_Modules)
        if (void* symbol = Detail::System::ModuleSymbol(module, name))
            return symbol;
    return nullptr;
}

std::shared_ptr<Appender> Framework::Find(const std::string& name) const
{
    for (const Created& c : m_Appenders)
        if (c.appender->GetName() == DString(name.c_str()))
            return c.appender;
    return {};
}

}  // namespace Quorlin
