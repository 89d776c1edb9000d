#pragma once
// The system implementations of the interposable calls; each platform folder defines them.
// Only Interposer.cpp and the platform files include this header.

#include "Interposer.h"

namespace Quorlin::os::native {

bool AllocateConsole();
void ReleaseConsole();
ConsoleHandle StdOutConsole();
void SetConsoleOutputMode(ConsoleHandle console, std::uint32_t mode);
void WriteToConsole(ConsoleHandle console, const char* text, std::uint32_t size);
void PutConsoleText(const char* text);

EventSource RegisterSource(const char* source);
void ReportToSource(EventSource source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* text);
void DeregisterSource(EventSource source);

void DebugOutput(const char* text);
void Beep(std::uint32_t frequency, std::uint32_t milliseconds);

std::int64_t NowTicks() noexcept;
void SleepMs(std::uint32_t milliseconds);
void AwaitExit(ProcessHandle& child, std::uint32_t milliseconds);

Status OpenFile(std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file);
Status WriteToFile(NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written);
Status RenameFile(std::wstring_view from, std::wstring_view to);
Status RemoveFile(std::wstring_view name);
Status Spawn(std::wstring_view program, std::wstring_view commandLine, ProcessHandle& child);

} // namespace Quorlin::os::native
