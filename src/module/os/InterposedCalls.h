// The one list of the seam calls a test can interpose, as
//     QUORLIN_INTERPOSED(result, name, (parameters), (arguments), exception specification)
// A file that includes this header defines QUORLIN_INTERPOSED first and undefines it after: Native.h
// declares the system implementations from the list, Interposer.h the virtuals, Interposer.cpp their
// defaults (the system) and the public functions that reach an installed Interposer. The public
// declarations, each with its contract, stay in the concern headers (File.h, Process.h...); a row that no
// longer matches its declaration fails to compile or to link. Every call that takes a file or a process handle is
// listed, so that a fake which hands out a handle of its own sees every later call on it.
// No include guard: included once per use.

// Console.h
QUORLIN_INTERPOSED(bool, AllocateConsole, (), (), )
QUORLIN_INTERPOSED(void, ReleaseConsole, (), (), )
QUORLIN_INTERPOSED(ConsoleHandle, StdOutConsole, (), (), )
QUORLIN_INTERPOSED(void, SetConsoleOutputMode, (ConsoleHandle console, std::uint32_t mode), (console, mode), )
QUORLIN_INTERPOSED(void, WriteToConsole, (ConsoleHandle console, const char* text, std::uint32_t size), (console, text, size), )
QUORLIN_INTERPOSED(void, PutConsoleText, (const char* text), (text), )

// SystemLog.h
QUORLIN_INTERPOSED(EventSource, RegisterSource, (const char* source), (source), )
QUORLIN_INTERPOSED(void, ReportToSource,
                   (EventSource source, std::uint16_t type, std::uint16_t category, std::uint32_t eventId, const char* text),
                   (source, type, category, eventId, text), )
QUORLIN_INTERPOSED(void, DeregisterSource, (EventSource source), (source), )

// Debugger.h
QUORLIN_INTERPOSED(void, DebugOutput, (const char* text), (text), )
QUORLIN_INTERPOSED(void, Beep, (std::uint32_t frequency, std::uint32_t milliseconds), (frequency, milliseconds), )

// Clock.h
QUORLIN_INTERPOSED(std::int64_t, NowTicks, (), (), noexcept)
QUORLIN_INTERPOSED(void, SleepMs, (std::uint32_t milliseconds), (milliseconds), )

// File.h
QUORLIN_INTERPOSED(Status, OpenFile,
                   (std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file),
                   (name, access, disposition, share, file), )
QUORLIN_INTERPOSED(Status, WriteToFile, (NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written),
                   (file, data, size, written), )
QUORLIN_INTERPOSED(Status, ReadFromFile, (NativeFile file, void* data, std::uint32_t size, std::uint32_t& read),
                   (file, data, size, read), )
QUORLIN_INTERPOSED(Status, SeekFile, (NativeFile file, std::int64_t offset, int origin, std::uint64_t& position),
                   (file, offset, origin, position), )
QUORLIN_INTERPOSED(Status, FileSizeOf, (NativeFile file, std::uint64_t& size), (file, size), )
QUORLIN_INTERPOSED(Status, CloseFile, (NativeFile file), (file), )

// Directory.h
QUORLIN_INTERPOSED(Status, RenameFile, (std::wstring_view from, std::wstring_view to), (from, to), )
QUORLIN_INTERPOSED(Status, RemoveFile, (std::wstring_view name), (name), )

// Process.h
QUORLIN_INTERPOSED(Status, Spawn, (std::wstring_view program, std::wstring_view commandLine, ProcessHandle& child),
                   (program, commandLine, child), )
QUORLIN_INTERPOSED(Status, ExitCodeOf, (ProcessHandle & child, std::uint32_t& code), (child, code), )
QUORLIN_INTERPOSED(void, AwaitExit, (ProcessHandle & child, std::uint32_t milliseconds), (child, milliseconds), )
QUORLIN_INTERPOSED(void, CloseProcess, (ProcessHandle & child), (child), )
QUORLIN_INTERPOSED(Status, KillProcess, (ProcessHandle & child), (child), )
