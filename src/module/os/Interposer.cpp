#include "Interposer.h"

#include <atomic>

#include "Clock.h"
#include "Debugger.h"
#include "Directory.h"
#include "Native.h"

namespace Quorlin::os {
namespace {
std::atomic<Interposer*> g_Interposer{nullptr};
} // namespace

Interposer* Interpose(Interposer* fake) noexcept { return g_Interposer.exchange(fake); }

bool Interposer::AllocateConsole() { return native::AllocateConsole(); }
void Interposer::ReleaseConsole() { native::ReleaseConsole(); }
ConsoleHandle Interposer::StdOutConsole() { return native::StdOutConsole(); }
void Interposer::SetConsoleOutputMode(ConsoleHandle console, std::uint32_t mode) { native::SetConsoleOutputMode(console, mode); }
void Interposer::WriteToConsole(ConsoleHandle console, const char* text, std::uint32_t size) { native::WriteToConsole(console, text, size); }
void Interposer::PutConsoleText(const char* text) { native::PutConsoleText(text); }
EventSource Interposer::RegisterSource(const char* source) { return native::RegisterSource(source); }
void Interposer::ReportToSource(EventSource source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* text) { native::ReportToSource(source, type, category, eventId, text); }
void Interposer::DeregisterSource(EventSource source) { native::DeregisterSource(source); }
void Interposer::DebugOutput(const char* text) { native::DebugOutput(text); }
void Interposer::Beep(std::uint32_t frequency, std::uint32_t milliseconds) { native::Beep(frequency, milliseconds); }
std::int64_t Interposer::NowTicks() { return native::NowTicks(); }
void Interposer::SleepMs(std::uint32_t milliseconds) { native::SleepMs(milliseconds); }
Status Interposer::OpenFile(std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file) { return native::OpenFile(name, access, disposition, share, file); }
Status Interposer::WriteToFile(NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written) { return native::WriteToFile(file, data, size, written); }
Status Interposer::RenameFile(std::wstring_view from, std::wstring_view to) { return native::RenameFile(from, to); }
Status Interposer::RemoveFile(std::wstring_view name) { return native::RemoveFile(name); }
Status Interposer::Spawn(std::wstring_view program, std::wstring_view commandLine, ProcessHandle& child) { return native::Spawn(program, commandLine, child); }

bool AllocateConsole()
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->AllocateConsole();
    return native::AllocateConsole();
}

void ReleaseConsole()
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->ReleaseConsole();
    else
        native::ReleaseConsole();
}

ConsoleHandle StdOutConsole()
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->StdOutConsole();
    return native::StdOutConsole();
}

void SetConsoleOutputMode(ConsoleHandle console, std::uint32_t mode)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->SetConsoleOutputMode(console, mode);
    else
        native::SetConsoleOutputMode(console, mode);
}

void WriteToConsole(ConsoleHandle console, const char* text, std::uint32_t size)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->WriteToConsole(console, text, size);
    else
        native::WriteToConsole(console, text, size);
}

void PutConsoleText(const char* text)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->PutConsoleText(text);
    else
        native::PutConsoleText(text);
}

EventSource RegisterSource(const char* source)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->RegisterSource(source);
    return native::RegisterSource(source);
}

void ReportToSource(EventSource source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* text)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->ReportToSource(source, type, category, eventId, text);
    else
        native::ReportToSource(source, type, category, eventId, text);
}

void DeregisterSource(EventSource source)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->DeregisterSource(source);
    else
        native::DeregisterSource(source);
}

void DebugOutput(const char* text)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->DebugOutput(text);
    else
        native::DebugOutput(text);
}

void Beep(std::uint32_t frequency, std::uint32_t milliseconds)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->Beep(frequency, milliseconds);
    else
        native::Beep(frequency, milliseconds);
}

std::int64_t NowTicks() noexcept
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->NowTicks();
    return native::NowTicks();
}

void SleepMs(std::uint32_t milliseconds)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->SleepMs(milliseconds);
    else
        native::SleepMs(milliseconds);
}

void AwaitExit(ProcessHandle& child, std::uint32_t milliseconds)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        fake->SleepMs(milliseconds);
    else
        native::AwaitExit(child, milliseconds);
}

Status OpenFile(std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->OpenFile(name, access, disposition, share, file);
    return native::OpenFile(name, access, disposition, share, file);
}

Status WriteToFile(NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->WriteToFile(file, data, size, written);
    return native::WriteToFile(file, data, size, written);
}

Status RenameFile(std::wstring_view from, std::wstring_view to)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->RenameFile(from, to);
    return native::RenameFile(from, to);
}

Status RemoveFile(std::wstring_view name)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->RemoveFile(name);
    return native::RemoveFile(name);
}

Status Spawn(std::wstring_view program, std::wstring_view commandLine, ProcessHandle& child)
{
    if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))
        return fake->Spawn(program, commandLine, child);
    return native::Spawn(program, commandLine, child);
}

} // namespace Quorlin::os
