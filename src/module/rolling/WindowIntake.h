#pragma once
// How closed files enter a fixed window without a producer ever waiting for gzip, and without gzip
// ever reading a file that moves.
//
// While no compression of the window runs, a roll-over shifts the window and moves the file to the
// lowest index at once, as it always did. While one runs, the file waits beside the window under a
// name of its own (app.1.log.~7) and the thread that compresses takes it in afterwards: it shifts the
// window, moves the file to the lowest index and compresses it there, one file after the other in the
// order they rolled. Only that thread shifts while it runs, so nothing it compresses can move.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "rolling/Action.h"
#include "rolling/Helper.h"

namespace Quorlin {

using ORBEK::Utility::DString;
using ORBEK::Utility::WString;

class WindowIntake {
public:
    // The one intake of a window pattern in this process, so that a second appender on the same
    // files, or one made again while the last compression still runs, waits its turn as well.
    static std::shared_ptr<WindowIntake> Of(const DString& pattern);

    // Under the roll-over, once the active file `source` is closed: false, with nothing moved, when
    // the move fails. Otherwise the file is at `target` (the window shifted first when its lowest
    // index was taken) or waits for the compressing thread, with its compression due in Drain.
    bool Take(std::shared_ptr<const Rolling::Helper::WindowNames> names, const WString& source, const WString& target);

    // Compresses what Take left and takes in the files that wait, in order, on the calling thread,
    // until none is left; returns at once when another thread is already doing it.
    void Drain();

    // Files that wait beside the window.
    std::int32_t Waiting() const;
    // Returns once no file waits beside the window: drains on the calling thread when no other does.
    void Settle();
    // After a fault inside Take abandoned its frame: the window is free again.
    void Abandoned();

    // The name under which a closed file waits: target.~N.
    static WString WaitingName(const WString& target, std::uint64_t number);

private:
    struct Entry {
        std::shared_ptr<const Rolling::Helper::WindowNames> names;
        WString target;
        WString waiting;  // empty: the file is at target already, to be compressed
    };

    // Shifts when the lowest index is taken, then moves `from` to `target`.
    static bool MoveIn(const Rolling::Helper::WindowNames& names, const WString& from, const WString& target);
    // The file at the entry's target and plain history above it (a killed gzip, a crash) are compressed.
    static void CompressWindow(const Entry& entry);
    // Files a process before this one left waiting beside the window, oldest first; the next number after theirs.
    void AdoptLeftOvers(const std::shared_ptr<const Rolling::Helper::WindowNames>& names, const WString& target);
    // A waiting file with as many newer ones of its window behind it as the window holds would be
    // pushed out of it by them: it leaves the queue, under the mutex, and is deleted (Delete) after.
    std::vector<WString> DropOverflow(const Rolling::Helper::WindowNames& names);
    static void Delete(const std::vector<WString>& dropped, std::int32_t held);
    std::int32_t WaitingOf(const Rolling::Helper::WindowNames& names) const;
    std::int32_t WaitingCount() const;  // under the mutex

    mutable std::mutex m_Mutex;
    std::condition_variable m_Moved;  // an entry is done
    std::deque<Entry> m_Queue;
    bool m_Draining = false;
    bool m_Moving = false;    // a file that waited is being moved in
    bool m_Shifting = false;  // a roll-over moves a file straight in
    bool m_Adopted = false;
    std::uint64_t m_NextNumber = 1;
};

// The compression of a roll-over: drains its window's intake on the thread it runs on.
class WindowCompression : public Action {
public:
    explicit WindowCompression(std::shared_ptr<WindowIntake> intake) : m_Intake(std::move(intake)) {}
    // Always true.
    bool Execute() override
    {
        m_Intake->Drain();
        return true;
    }
    const std::shared_ptr<WindowIntake>& Intake() const { return m_Intake; }

private:
    std::shared_ptr<WindowIntake> m_Intake;
};

}  // namespace Quorlin
