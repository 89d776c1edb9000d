#include "Configuration.h"

#include <fstream>
#include <sstream>

#include "Level.h"
#include "utility/StringOps.h"

namespace Quorlin {
namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

class Parser {
public:
    Parser(const std::string& source, Configuration& config, std::string& error)
        : m_Source(source), m_Config(config), m_Error(error)
    {
    }

    bool Line(std::string_view raw, int number)
    {
        m_Line = number;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            return true;
        if (line.front() == '[')
            return Section(line);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return Fail("expected 'key = value' or a [section], found '" + std::string(line) + "'");
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (key.empty())
            return Fail("a key is missing before '='");
        switch (m_Where) {
        case Where::Global: return Global(key, value);
        case Where::Appender: return AppenderKey(key, value);
        case Where::Root: return RootKey(key, value);
        }
        return true;
    }

    bool Finish()
    {
        for (const AppenderConfig& a : m_Config.appenders)
            if (a.type.empty())
                return FailAt(a.line, "appender '" + a.name + "' has no 'type'");
        for (std::size_t i = 0; i < m_Config.rootRefs.size(); ++i)
            if (m_Config.Find(m_Config.rootRefs[i]) == nullptr)
                return FailAt(m_RefLines[i], "[root] refers to appender '" + m_Config.rootRefs[i] + "', which is not defined");
        if (m_Config.rootRefs.empty())
            // An empty text has no line 0 to point at: its line 1 is where the settings are missing.
            return FailAt(m_Config.rootLine > 0 ? m_Config.rootLine
                          : m_Line > 0          ? m_Line
                                                : 1,
                          "no appender receives events: add 'appender-ref = NAME' under [root]");
        return true;
    }

private:
    enum class Where { Global, Appender, Root };

    bool Section(std::string_view line)
    {
        if (line.back() != ']')
            return Fail("a section header must end with ']'");
        const std::string_view inner = Trim(line.substr(1, line.size() - 2));
        if (inner == "root") {
            if (m_Config.rootLine != 0)
                return Fail("[root] appears twice (first on line " + std::to_string(m_Config.rootLine) + ")");
            m_Config.rootLine = m_Line;
            m_Where = Where::Root;
            return true;
        }
        constexpr std::string_view kAppender = "appender";
        if (inner.substr(0, kAppender.size()) != kAppender || inner.size() == kAppender.size() ||
            (inner[kAppender.size()] != ' ' && inner[kAppender.size()] != '\t'))
            return Fail("unknown section [" + std::string(inner) + "]; expected [appender NAME] or [root]");
        const std::string name(Trim(inner.substr(kAppender.size())));
        if (const AppenderConfig* previous = m_Config.Find(name))
            return Fail("appender '" + name + "' is defined twice (first on line " + std::to_string(previous->line) + ")");
        AppenderConfig appender;
        appender.name = name;
        appender.line = m_Line;
        m_Config.appenders.push_back(std::move(appender));
        m_Where = Where::Appender;
        return true;
    }

    bool Global(std::string_view key, std::string_view value)
    {
        if (key != "debug")
            return Fail("unknown setting '" + std::string(key) + "' before the first section (only 'debug' is known)");
        if (!ORBEK::Utility::TryParseBool(ORBEK::Utility::StringView(value), m_Config.debug))
            return Fail("'debug' must be true or false, not '" + std::string(value) + "'");
        return true;
    }

    bool AppenderKey(std::string_view key, std::string_view value)
    {
        AppenderConfig& a = m_Config.appenders.back();
        if (key == "type") {
            if (value.empty())
                return Fail("'type' needs a value such as Appender.File");
            a.type = value;
        } else if (key == "layout") {
            a.layout = value;
        } else if (key == "threshold") {
            if (!ParseLevel(value, a.threshold))
                return Fail("threshold '" + std::string(value) + "' is not a level name or number");
        } else {
            a.options.emplace_back(std::string(key), std::string(value));
        }
        return true;
    }

    bool RootKey(std::string_view key, std::string_view value)
    {
        if (key == "level") {
            if (!ParseLevel(value, m_Config.rootLevel))
                return Fail("level '" + std::string(value) + "' is not a level name or number");
        } else if (key == "appender-ref") {
            if (value.empty())
                return Fail("'appender-ref' needs an appender name");
            m_Config.rootRefs.emplace_back(value);
            m_RefLines.push_back(m_Line);
        } else {
            return Fail("unknown key '" + std::string(key) + "' in [root] (expected 'level' or 'appender-ref')");
        }
        return true;
    }

    bool Fail(const std::string& message) { return FailAt(m_Line, message); }
    bool FailAt(int line, const std::string& message)
    {
        m_Error = m_Source + ":" + std::to_string(line) + ": " + message;
        return false;
    }

    const std::string& m_Source;
    Configuration& m_Config;
    std::string& m_Error;
    Where m_Where = Where::Global;
    int m_Line = 0;
    std::vector<int> m_RefLines;
};

}  // namespace

const AppenderConfig* Configuration::Find(std::string_view name) const
{
    for (const AppenderConfig& a : appenders)
        if (a.name == name)
            return &a;
    return nullptr;
}

bool ParseConfiguration(std::string_view text, const std::string& source, Configuration& config, std::string& error)
{
    config = Configuration();
    config.source = source;
    Parser parser(source, config, error);
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (!parser.Line(line, ++number))
            return false;
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return parser.Finish();
}

bool LoadConfiguration(const std::string& path, Configuration& config, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseConfiguration(text.str(), path, config, error);
}

}  // namespace Quorlin
