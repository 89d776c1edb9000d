#pragma once
// Windows only: a program run in this process's console and sent Ctrl-C there, as a user at the
// console would. The caller needs a console of its own (a child started with a new console): every
// process attached to it receives the event.

#include <functional>
#include <string>

namespace QuorlinTest {

// Starts `commandLine` in `directory`, attached to this process's console, with standard input from
// NUL and standard output and error into out.txt and err.txt of that directory. Once `ready()` holds
// (polled every 20 ms), sends Ctrl-C to the console, this process ignoring it, and waits for the
// program to end. Gives its exit code; -1 when it did not start, never became ready or the event could
// not be sent, -2 when it did not end within 60 s after the event (it is then ended).
int RunAndInterrupt(const std::wstring& commandLine, const std::wstring& directory, const std::function<bool()>& ready);

}  // namespace QuorlinTest
