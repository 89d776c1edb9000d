#pragma once
// How closed files enter a fixed window without a producer ever waiting for gzip, and without gzip
// ever reading a file that moves.
//
// While no compression inside the window runs and nothing waits, a roll-over shifts the window and
// moves the file to the lowest index at once, as it always did; the file is then compressed there.
// Otherwise the file waits beside the window under a name of its own (app.1.log.~7), is compressed
// there, where no shift can move it, and is taken in once its archive is complete and every file
// that rolled before it is in: the window shifts and app.1.log.~7.gz becomes app.1.log.gz. Up to two
// compressions run at once; the threads that run them do the taking in as well.

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
    // index was taken) or waits beside the window; either way its compression is due in Work.
    bool Take(std::shared_ptr<const Rolling::Helper::WindowNames> names, const WString& source, const WString& target);

    // Does what is due on the calling thread (compressions, files taken in, in order) until nothing
    // is left that this thread could start; other threads finish what they started.
    void Work();

    // Files that wait beside the window.
    std::int32_t Waiting() const;
    // Returns once no file waits beside the window, or after 5 s (a Close that a hung gzip holds
    // up): then the files that no gzip reads go in as they are, without a compression.
    void Settle();
    // After a fault inside Take abandoned its frame: the window is free again.
    void Abandoned();

    // The name under which a closed file waits: target.~N.
    static WString WaitingName(const WString& target, std::uint64_t number);

private:
    enum class State { Due, Compressing, Compressed };
    struct Entry {
        std::shared_ptr<const Rolling::Helper::WindowNames> names;
        WString target;
        WString waiting;  // empty: the file is at target already, to be compressed there
        State state = State::Due;
        bool dropped = false;  // its compression runs, but the file is not to go in
    };
    using EntryPtr = std::shared_ptr<Entry>;

    // Shifts when the lowest index is taken, then moves `from` to `target`.
    static bool MoveIn(const Rolling::Helper::WindowNames& names, const WString& from, const WString& target);
    // The file at the entry's target and plain history above it (a killed gzip, a crash) are compressed.
    static void CompressWindow(const Entry& entry);
    // A waiting file, its archive if complete, goes to the lowest index.
    static void TakeIn(const Entry& entry);
    // Files a process before this one left waiting beside the window, oldest first; the next number after theirs.
    void AdoptLeftOvers(const std::shared_ptr<const Rolling::Helper::WindowNames>& names, const WString& target);
    // A waiting file with as many newer ones of its window behind it as the window holds would be
    // pushed out of it by them: it leaves the queue, under the mutex, and its files are deleted
    // (Delete) after; one being compressed is marked and deleted when its compression ends.
    std::vector<WString> DropOverflow(const Rolling::Helper::WindowNames& names);
    static void Delete(const std::vector<WString>& dropped);
    // Settle's last resort: the oldest waiting file that no gzip reads goes in, when nothing else
    // moves the window; false when none can now.
    bool TakeInOneForClose(std::unique_lock<std::mutex>& lock);
    std::int32_t WaitingOf(const Rolling::Helper::WindowNames& names) const;
    std::int32_t WaitingCount() const;  // under the mutex
    // Under the mutex: whether a roll-over may shift the window itself now.
    bool WindowFree() const;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;  // an entry moved on
    std::deque<EntryPtr> m_Queue;
    std::int32_t m_Compressing = 0;  // compressions running, inside the window or beside it
    std::int32_t m_InPlace = 0;      // of those, inside the window: no shift meanwhile
    bool m_Moving = false;           // a file that waited is being taken in
    bool m_Shifting = false;         // a roll-over moves a file straight in
    bool m_Adopted = false;
    std::uint64_t m_Changes = 0;  // counts what moved on, for Settle
    std::uint64_t m_NextNumber = 1;
};

// The compression of a roll-over: works for its window's intake on the thread it runs on.
class WindowCompression : public Action {
public:
    explicit WindowCompression(std::shared_ptr<WindowIntake> intake) : m_Intake(std::move(intake)) {}
    // Always true.
    bool Execute() override
    {
        m_Intake->Work();
        return true;
    }
    const std::shared_ptr<WindowIntake>& Intake() const { return m_Intake; }

private:
    std::shared_ptr<WindowIntake> m_Intake;
};

}  // namespace Quorlin
