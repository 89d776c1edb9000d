#pragma once
// Holding input back while an appender of the module cannot write (a full disk, a file that will not
// open), so that the events wait in the pipe or in the generator rather than being dropped.

#include <atomic>
#include <cstdio>

namespace QuorlinRun {

class HoldBack {
public:
    using WaitFn = bool (*)(unsigned int milliseconds);

    // `wait` is the module's WaitUntilWritable (null: nothing is ever held back); `drop` goes on
    // instead, letting what does not fit the appenders' backlogs be counted as lost. `note` gets one
    // line when input starts to wait (null: none).
    HoldBack(WaitFn wait, bool drop, std::FILE* note) : m_Wait(drop ? nullptr : wait), m_Note(note) {}

    // Returns at once while every appender can write; otherwise waits until they can or `stop` is set.
    void WhileHeldUp(const std::atomic<bool>& stop);

private:
    WaitFn m_Wait;
    std::FILE* m_Note;
    std::atomic<bool> m_Told{false};
};

}  // namespace QuorlinRun
