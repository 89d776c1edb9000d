#include "ColoredConsoleAppender.h"

#include <cstring>

#include "host/Level.h"

namespace Quorlin {
namespace {

constexpr char kReset[] = "\x1b[39m\x1b[49m\r\n";  // 12 bytes

struct ColorName {
    const char* name;
    int foreground;  // the background code is foreground + 10
};
// Compared in this order: the light colours first.
constexpr ColorName kColors[] = {
    {"lightgray", 90}, {"lightred", 91},   {"lightgreen", 92}, {"lightyellow", 93}, {"lightblue", 94}, {"lightmagenta", 95},
    {"lightcyan", 96}, {"lightwhite", 97}, {"black", 30},      {"red", 31},         {"green", 32},     {"yellow", 33},
    {"blue", 34},      {"magenta", 35},    {"cyan", 36},       {"white", 37},
};

struct ColorKey {
    const char* key;
    ColorTable::Slot slot;
    bool background;
};
constexpr ColorKey kKeys[] = {
    {"onFatal/foreColor/value", ColorTable::Fatal, false},   {"onFatal/backColor/value", ColorTable::Fatal, true},
    {"onError/foreColor/value", ColorTable::Error, false},   {"onError/backColor/value", ColorTable::Error, true},
    {"onWarn/foreColor/value", ColorTable::Warn, false},     {"onWarn/backColor/value", ColorTable::Warn, true},
    {"onInfo/foreColor/value", ColorTable::Info, false},     {"onInfo/backColor/value", ColorTable::Info, true},
    {"onDebug/foreColor/value", ColorTable::Debug, false},   {"onDebug/backColor/value", ColorTable::Debug, true},
    {"onTrace/foreColor/value", ColorTable::Trace, false},   {"onTrace/backColor/value", ColorTable::Trace, true},
    {"default/foreColor/value", ColorTable::Default, false}, {"default/backColor/value", ColorTable::Default, true},
};

ColorTable::Slot SlotOf(std::int32_t level)
{
    if (level > LevelFatal)
        return ColorTable::Default;
    if (level > LevelError)
        return ColorTable::Fatal;
    if (level > LevelWarn)
        return ColorTable::Error;
    if (level > LevelInfo)
        return ColorTable::Warn;
    if (level > LevelDebug)
        return ColorTable::Info;
    if (level > LevelTrace)
        return ColorTable::Debug;
    if (level > 100)
        return ColorTable::Trace;
    return ColorTable::Default;
}

}  // namespace

const DString& ColorTable::ForLevel(std::int32_t level) const
{
    const DString& own = prefixes[SlotOf(level)];
    return own.IsEmpty() ? prefixes[Default] : own;
}

DString ColorSequence(const DString& name, bool background)
{
    DString wanted(name);
    wanted.MakeLower().Trim();
    for (const ColorName& color : kColors) {
        if (wanted == color.name) {
            DString sequence("\x1b[");
            sequence << (color.foreground + (background ? 10 : 0)) << "m";
            return sequence;
        }
    }
    return DString();
}

ColoredConsoleWriter::ColoredConsoleWriter(std::shared_ptr<const ColorTable> table) : m_Table(std::move(table))
{
    // When the process already has a console the allocation fails and that console is used, never freed.
    m_OwnsConsole = os::AllocateConsole();
    m_Console = os::StdOutConsole();
    os::SetConsoleOutputMode(m_Console, 7);
}

ColoredConsoleWriter::~ColoredConsoleWriter()
{
    if (m_OwnsConsole)
        os::ReleaseConsole();
}

void ColoredConsoleWriter::Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
                                 std::int32_t secondLength)
{
    const DString& prefix = m_Table->ForLevel(level);
    if (m_Console == 0)
        return;
    if (!prefix.IsEmpty())
        os::WriteToConsole(m_Console, prefix.c_str(), static_cast<std::uint32_t>(prefix.GetLength()));
    if (first != nullptr && firstLength >= 1)
        os::WriteToConsole(m_Console, first, static_cast<std::uint32_t>(firstLength));
    if (second != nullptr && secondLength >= 1)
        os::WriteToConsole(m_Console, second, static_cast<std::uint32_t>(secondLength));
    os::WriteToConsole(m_Console, kReset, sizeof kReset - 1);
}

ColoredConsoleAppender::ColoredConsoleAppender() : m_Table(std::make_shared<ColorTable>())
{
    SetTypeName(DString("Appender.ColoredConsole"));
}

bool ColoredConsoleAppender::Open()
{
    std::unique_ptr<Writer> writer;
    CreateWriter(writer);
    SetWriter(std::move(writer));  // the previous writer goes after the new one exists
    return WriterAppender::Open();
}

void ColoredConsoleAppender::Close() { WriterAppender::Close(); }

void ColoredConsoleAppender::Append(const LoggingEvent* event)
{
    if (IsClosed())
        return;
    WriterAppender::Append(event);
}

void ColoredConsoleAppender::SetOption(const DString& key, const DString& value)
{
    for (const ColorKey& k : kKeys) {
        if (key.Find(k.key) == 0) {
            // Sequences accumulate: "red" then "white" on the background gives both, in that order.
            m_Table->prefixes[k.slot].Append(ColorSequence(value, k.background));
            return;
        }
    }
    Appender::SetOption(key, value);
}

void ColoredConsoleAppender::CreateWriter(std::unique_ptr<Writer>& writer)
{
    writer = std::make_unique<ColoredConsoleWriter>(m_Table);
}

}  // namespace Quorlin
