#include "ConfigManager.h"

#include <algorithm>

namespace Quorlin::Detail {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<TypeRegistration> types;
    std::vector<std::shared_ptr<Appender>> appenders;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

bool ContainsNoCase(const std::string& text, const std::string& name)
{
    return ORBEK::Utility::FindText(ORBEK::Utility::StringView(text), ORBEK::Utility::StringView(name), 0, true) >= 0;
}

}  // namespace

void ConfigManager::Register(const ORBEK::Utility::StringView& type, const ORBEK::Utility::StringView& modulePath)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.types.push_back({std::string(type.View()), std::string(modulePath.View())});
}

std::shared_ptr<Appender> ConfigManager::FindAppender(const DString& name)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto& appender : r.appenders)
        if (appender->GetName() == name)
            return appender;
    return {};
}

std::vector<TypeRegistration> ConfigManager::Registrations()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.types;
}

std::string ConfigManager::ModuleForType(const std::string& type)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto& registration : r.types)
        if (ContainsNoCase(type, registration.type))
            return registration.modulePath;
    return {};
}

void ConfigManager::AddAppender(const std::shared_ptr<Appender>& appender)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.appenders.push_back(appender);
}

std::vector<std::shared_ptr<Appender>> ConfigManager::Appenders()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.appenders;
}

void ConfigManager::ClearAppenders()
{
    std::vector<std::shared_ptr<Appender>> released;
    Registry& r = TheRegistry();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        released.swap(r.appenders);
    }
    // Destroyed outside the lock: an appender's destructor may look others up.
}

void ConfigManager::ClearRegistrations()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.types.clear();
}

}  // namespace Quorlin::Detail
