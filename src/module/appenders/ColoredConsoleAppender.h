#pragma once
// "Appender.ColoredConsole": events to a console, coloured by level with ANSI escape sequences.

#include <array>
#include <memory>

#include "host/Appender.h"
#include "os/Console.h"

namespace Quorlin {

// Prefixes by level: default, fatal, error, warn, info, debug, trace. Shared by the appender and its
// writers (one allocation with its atomic count), so a writer may outlive its appender.
struct ColorTable {
    enum Slot { Default, Fatal, Error, Warn, Info, Debug, Trace, SlotCount };
    std::array<DString, SlotCount> prefixes;

    // The prefix for a level; the default one when the level's own is empty.
    const DString& ForLevel(std::int32_t level) const;
};

// The escape sequence of a colour name (lower-cased and trimmed first: " Red " is red), foreground
// or background; empty for a name that is not one of the sixteen.
DString ColorSequence(const DString& name, bool background);

class ColoredConsoleWriter final : public Writer {
public:
    // Allocates a console when the process has none (and then owns it), takes standard output and
    // switches it to processed output with virtual-terminal sequences (mode 7).
    explicit ColoredConsoleWriter(std::shared_ptr<const ColorTable> table);
    // Frees the console if this writer allocated it.
    ~ColoredConsoleWriter() override;

    void Close() override {}
    void Flush() override {}
    void NewLine() override {}  // the line end is part of the reset sequence
    // Prefix for the level, the texts, then ESC[39m ESC[49m CR LF; nothing without a console.
    void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
               std::int32_t secondLength) override;

private:
    os::ConsoleHandle m_Console = 0;
    bool m_OwnsConsole = false;
    std::shared_ptr<const ColorTable> m_Table;
};

class ColoredConsoleAppender : public WriterAppender {
public:
    ColoredConsoleAppender();
    bool Open() override;
    void Close() override;
    void Append(const LoggingEvent* event) override;
    // "onFatal/foreColor/value" ... "default/backColor/value" (key begins with): the colour's sequence is
    // appended to that level's prefix; other keys go to the framework.
    void SetOption(const DString& key, const DString& value) override;
    void CreateWriter(std::unique_ptr<Writer>& writer) override;

    const ColorTable& GetColorTable() const { return *m_Table; }

private:
    std::shared_ptr<ColorTable> m_Table;
};

}  // namespace Quorlin
