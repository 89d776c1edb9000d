#pragma once
// The registry of appender types and configured appenders, shared by the framework and its modules.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Appender.h"
#include "utility/StringView.h"

namespace Quorlin::Detail {

struct TypeRegistration {
    std::string type;        // "Appender.File"
    std::string modulePath;  // the module that creates it
};

class QUORLIN_API ConfigManager {
public:
    // Announces that the module at modulePath creates appenders of this type.
    static void Register(const ORBEK::Utility::StringView& type, const ORBEK::Utility::StringView& modulePath);
    // The configured appender of that name, or empty.
    static std::shared_ptr<Appender> FindAppender(const DString& name);

    // Framework side.
    static std::vector<TypeRegistration> Registrations();
    // The module registered for a type text: the first registered name the text contains, ignoring case.
    static std::string ModuleForType(const std::string& type);
    static void AddAppender(const std::shared_ptr<Appender>& appender);
    static std::vector<std::shared_ptr<Appender>> Appenders();
    // Forgets the configured appenders (registrations stay).
    static void ClearAppenders();
    static void ClearRegistrations();
};

}  // namespace Quorlin::Detail
