#pragma once
// Test seam: while an Interposer is installed, the calls it declares reach it instead of the system.
// Its defaults call the system, so a fake overrides only what it records or breaks.

#include <cstdint>
#include <string_view>

#include "Console.h"
#include "File.h"
#include "Process.h"
#include "SystemLog.h"

namespace Quorlin::os {

class Interposer {
public:
    virtual ~Interposer() = default;

    virtual bool AllocateConsole();
    virtual void ReleaseConsole();
    virtual ConsoleHandle StdOutConsole();
    virtual void SetConsoleOutputMode(ConsoleHandle console, std::uint32_t mode);
    virtual void WriteToConsole(ConsoleHandle console, const char* text, std::uint32_t size);
    virtual void PutConsoleText(const char* text);

    virtual EventSource RegisterSource(const char* source);
    virtual void ReportToSource(EventSource source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* text);
    virtual void DeregisterSource(EventSource source);

    virtual void DebugOutput(const char* text);
    virtual void Beep(std::uint32_t frequency, std::uint32_t milliseconds);

    virtual std::int64_t NowTicks();
    virtual void SleepMs(std::uint32_t milliseconds);

    virtual Status OpenFile(std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file);
    virtual Status WriteToFile(NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written);
    virtual Status RenameFile(std::wstring_view from, std::wstring_view to);
    virtual Status RemoveFile(std::wstring_view name);
    virtual Status Spawn(std::wstring_view program, std::wstring_view commandLine, ProcessHandle& child);
};

// Installs `fake` for the whole process (null restores the system) and returns the one it replaces.
Interposer* Interpose(Interposer* fake) noexcept;

// Installs a fake for the lifetime of a scope.
class ScopedInterposer {
public:
    explicit ScopedInterposer(Interposer& fake) noexcept : m_Previous(Interpose(&fake)) {}
    ~ScopedInterposer() { Interpose(m_Previous); }
    ScopedInterposer(const ScopedInterposer&) = delete;
    ScopedInterposer& operator=(const ScopedInterposer&) = delete;

private:
    Interposer* m_Previous;
};

} // namespace Quorlin::os
