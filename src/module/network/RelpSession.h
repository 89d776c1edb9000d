#pragma once
// The client's side of a RELP session over a connection: the open handshake, syslog transactions under a
// window of unacknowledged ones, their acknowledgements, and the close.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "network/Connection.h"
#include "network/RelpFrame.h"

namespace Quorlin {

// Not thread-safe: one sender drives a session. Once it has ended (refusal, serverclose, protocol error,
// failed connection, Close) it stays ended; Unacknowledged() then gives what a new session must send again.
class RelpSession {
public:
    // At most `window` transactions (at least 1) wait for their acknowledgement at any time.
    explicit RelpSession(Connection& connection, std::size_t window = 128);
    RelpSession(const RelpSession&) = delete;
    RelpSession& operator=(const RelpSession&) = delete;

    // Sends the open offer and waits for the collector's 200; false, the reason in `error`, on a refusal,
    // an answer that is not RELP or does not offer syslog, a failed connection or no answer in time.
    bool Open(std::uint32_t timeoutMs, std::string& error);
    // Sends `record` (any bytes) as one syslog transaction remembered under the caller's `id`. With the
    // window full it first reads acknowledgements, up to timeoutMs. False when the record was not sent:
    // the session is not open or has ended, the window stayed full, or the record is too long to frame.
    bool Send(std::uint64_t id, std::string_view record, std::uint32_t timeoutMs);
    // Appends the ids the collector acknowledged, in the order of its answers: those gathered by Send or
    // Close first, then waits up to timeoutMs for more if there were none. False when the session has
    // ended (a 500 or other refusal, serverclose, a protocol error, a closed connection); what it
    // acknowledged before that is still appended.
    bool ReadAcks(std::uint32_t timeoutMs, std::vector<std::uint64_t>& acked);
    // While on, syslog frames are gathered and go out together (up to 64 KiB at a time), before any
    // wait for answers, or at Flush.
    void Gather(bool on);
    // Sends what was gathered; false when the connection failed (the session has then ended).
    bool Flush(std::uint32_t timeoutMs);
    // Waits for the outstanding acknowledgements, sends close and waits for its answer, all within
    // timeoutMs; the session has ended either way. False when any transaction stayed unacknowledged.
    bool Close(std::uint32_t timeoutMs);

    // The ids sent and not yet acknowledged, oldest first.
    std::vector<std::uint64_t> Unacknowledged() const;
    // Opened, and not ended since.
    bool IsOpen() const { return m_State == State::Open; }
    // Why the last call failed or the session ended.
    const std::string& Error() const { return m_Error; }

private:
    enum class State : std::uint8_t { Fresh, Opening, Open, Closing, Ended };
    using Deadline = std::chrono::steady_clock::time_point;

    bool End(std::string reason);
    bool SendFrame(std::uint32_t txnr, std::string_view command, std::string_view data, Deadline deadline);
    bool SendGathered(Deadline deadline);
    static constexpr std::size_t kGatherBytes = 64 * 1024;
    // Reads and handles the collector's frames until `done` holds or the deadline passes; false when the
    // session ended meanwhile.
    bool Pump(Deadline deadline, const std::function<bool()>& done);
    bool Dispatch(const RelpFrame& frame);
    bool Acknowledge(const RelpFrame& frame, std::string_view status);
    bool CheckOpenAnswer(std::string& error);

    Connection& m_Connection;
    std::size_t m_Window;
    State m_State = State::Fresh;
    std::string m_Error;
    RelpFrameReader m_Reader;
    RelpFrame m_Frame;
    std::string m_Out;  // frames not yet sent
    bool m_Gathering = false;
    std::uint32_t m_NextTxnr = 1;
    std::uint32_t m_CloseTxnr = 0;
    bool m_Answered = false;  // to the open offer or the close
    std::string m_OpenAnswer;
    std::deque<std::pair<std::uint32_t, std::uint64_t>> m_Unacked;  // (txnr, caller's id), oldest first
    std::vector<std::uint64_t> m_Acked;                             // gathered, not yet handed over
};

}  // namespace Quorlin
