#include "RelpSession.h"

#include <algorithm>

namespace Quorlin {
namespace {

// The answers a collector sends are a status line and, for open, a few offers: far below this.
constexpr std::size_t kMaxAnswer = 64 * 1024;
constexpr std::string_view kOffer = "relp_version=0\nrelp_software=Quorlin\ncommands=syslog";

std::chrono::steady_clock::time_point DeadlineIn(std::uint32_t timeoutMs)
{
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

std::uint32_t RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<std::uint32_t>(left.count());
}

// The status line of an answer ("200 OK" of "200 OK\nrelp_version=0..."); empty when there is none.
std::string_view StatusLine(std::string_view data) { return data.substr(0, data.find('\n')); }

// The status code at the start of an answer's status line, -1 when it does not start with three digits.
int StatusCode(std::string_view status)
{
    if (status.size() < 3 || (status.size() > 3 && status[3] != ' '))
        return -1;
    int code = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (status[i] < '0' || status[i] > '9')
            return -1;
        code = code * 10 + (status[i] - '0');
    }
    return code;
}

// A status line as the diagnostics quote it: cut short, control bytes shown as '?'.
std::string Quoted(std::string_view status)
{
    std::string text(status.substr(0, 200));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return "\"" + text + "\"";
}

// Whether `offer` (the answer's lines after the status) holds "commands=" with syslog among them.
bool OffersSyslog(std::string_view offer)
{
    while (!offer.empty()) {
        const std::size_t end = std::min(offer.find('\n'), offer.size());
        std::string_view line = offer.substr(0, end);
        offer.remove_prefix(std::min(end + 1, offer.size()));
        if (line.substr(0, 9) != "commands=")
            continue;
        line.remove_prefix(9);
        while (!line.empty()) {
            const std::size_t comma = std::min(line.find(','), line.size());
            if (line.substr(0, comma) == "syslog")
                return true;
            line.remove_prefix(std::min(comma + 1, line.size()));
        }
    }
    return false;
}

}  // namespace

RelpSession::RelpSession(Connection& connection, std::size_t window)
    : m_Connection(connection), m_Window(std::max<std::size_t>(window, 1)), m_Reader(kMaxAnswer)
{
}

bool RelpSession::End(std::string reason)
{
    m_State = State::Ended;
    m_Error = std::move(reason);
    return false;
}

bool RelpSession::SendFrame(std::uint32_t txnr, std::string_view command, std::string_view data, Deadline deadline)
{
    AppendRelpFrame(m_Out, txnr, command, data);
    if (m_Gathering && m_Out.size() < kGatherBytes)
        return true;
    return SendGathered(deadline);
}

bool RelpSession::SendGathered(Deadline deadline)
{
    if (m_Out.empty())
        return true;
    const bool sent = m_Connection.Send(m_Out.data(), m_Out.size(), RemainingMs(deadline));
    m_Out.clear();
    return sent || End("the connection failed while sending to the collector");
}

void RelpSession::Gather(bool on) { m_Gathering = on; }

bool RelpSession::Flush(std::uint32_t timeoutMs)
{
    if (m_State != State::Open && m_State != State::Closing)
        return false;
    return SendGathered(DeadlineIn(timeoutMs));
}

bool RelpSession::Open(std::uint32_t timeoutMs, std::string& error)
{
    if (m_State != State::Fresh) {
        error = "the session was opened before";
        return false;
    }
    const Deadline deadline = DeadlineIn(timeoutMs);
    m_State = State::Opening;
    // The collector insists that a session's first transaction is 1.
    if (!SendFrame(m_NextTxnr, "open", kOffer, deadline) || !Pump(deadline, [this] { return m_Answered; })) {
        error = m_Error;
        return false;
    }
    if (!m_Answered) {
        error = "no answer to the open offer within " + std::to_string(timeoutMs) + " ms";
        return End(error);
    }
    if (!CheckOpenAnswer(error))
        return End(error);
    m_State = State::Open;
    m_NextTxnr = NextRelpTxnr(m_NextTxnr);
    m_Answered = false;
    return true;
}

bool RelpSession::CheckOpenAnswer(std::string& error)
{
    const std::string_view status = StatusLine(m_OpenAnswer);
    const int code = StatusCode(status);
    if (code < 0) {
        error = "the answer to the open offer has no status: " + Quoted(status);
        return false;
    }
    if (code != 200) {
        error = "the collector refused the session: " + Quoted(status);
        return false;
    }
    const std::string_view offer = std::string_view(m_OpenAnswer).substr(std::min(status.size() + 1, m_OpenAnswer.size()));
    if (!OffersSyslog(offer)) {
        error = "the collector does not offer the syslog command";
        return false;
    }
    return true;
}

bool RelpSession::Send(std::uint64_t id, std::string_view record, std::uint32_t timeoutMs)
{
    if (m_State != State::Open) {
        if (m_State != State::Ended)
            m_Error = "the session is not open";
        return false;
    }
    if (record.size() > kRelpMaxNumber) {
        m_Error = "a record of " + std::to_string(record.size()) + " bytes is longer than a frame can carry";
        return false;
    }
    const Deadline deadline = DeadlineIn(timeoutMs);
    if (m_Unacked.size() >= m_Window) {
        if (!Pump(deadline, [this] { return m_Unacked.size() < m_Window; }))
            return false;
        if (m_Unacked.size() >= m_Window) {
            m_Error = "the window of " + std::to_string(m_Window) + " transactions stayed full for " + std::to_string(timeoutMs) +
                      " ms";
            return false;
        }
    }
    const std::uint32_t txnr = m_NextTxnr;
    if (!SendFrame(txnr, "syslog", record, deadline))
        return false;
    m_NextTxnr = NextRelpTxnr(txnr);
    m_Unacked.emplace_back(txnr, id);
    return true;
}

bool RelpSession::ReadAcks(std::uint32_t timeoutMs, std::vector<std::uint64_t>& acked)
{
    const bool gathered = !m_Acked.empty();
    bool open = m_State == State::Open;
    if (open)
        open = Pump(DeadlineIn(timeoutMs), [this, gathered] { return gathered || !m_Acked.empty(); });
    acked.insert(acked.end(), m_Acked.begin(), m_Acked.end());
    m_Acked.clear();
    if (!open && m_State != State::Ended)
        m_Error = "the session is not open";
    return open;
}

bool RelpSession::Close(std::uint32_t timeoutMs)
{
    if (m_State != State::Open) {
        if (m_State != State::Ended)
            m_Error = "the session is not open";
        return false;
    }
    const Deadline deadline = DeadlineIn(timeoutMs);
    if (!Pump(deadline, [this] { return m_Unacked.empty(); }))
        return false;
    if (!m_Unacked.empty())
        return End(std::to_string(m_Unacked.size()) + " transactions still unacknowledged after " + std::to_string(timeoutMs) +
                   " ms");
    m_State = State::Closing;
    m_CloseTxnr = m_NextTxnr;
    if (!SendFrame(m_CloseTxnr, "close", {}, deadline) || !Pump(deadline, [this] { return m_Answered; }))
        return false;
    if (!m_Answered)
        return End("no answer to close within " + std::to_string(timeoutMs) + " ms");
    m_State = State::Ended;
    m_Error = "the session is closed";
    return true;
}

std::vector<std::uint64_t> RelpSession::Unacknowledged() const
{
    std::vector<std::uint64_t> ids;
    ids.reserve(m_Unacked.size());
    for (const auto& [txnr, id] : m_Unacked)
        ids.push_back(id);
    return ids;
}

bool RelpSession::Pump(Deadline deadline, const std::function<bool()>& done)
{
    // Answers can only come to what has gone out.
    if (!SendGathered(deadline))
        return false;
    char buffer[4096];
    for (bool polled = false;;) {
        for (;;) {
            const RelpFrameReader::Result result = m_Reader.Next(m_Frame);
            if (result == RelpFrameReader::Result::NeedMore)
                break;
            if (result == RelpFrameReader::Result::Error)
                return End("protocol error from the collector: " + m_Reader.Error());
            if (!Dispatch(m_Frame))
                return false;
            // What follows stays for later: after the answer to close, imrelp's serverclose
            // must not end a session that closed in order.
            if (done())
                return true;
        }
        if (done())
            return true;
        // Past the deadline the connection is still asked once, without waiting, for what has arrived.
        const std::uint32_t remaining = RemainingMs(deadline);
        if (remaining == 0 && polled)
            return true;
        polled = remaining == 0;
        const long received = m_Connection.Receive(buffer, sizeof buffer, remaining);
        if (received < 0)
            return End("the connection to the collector closed");
        if (received == 0)
            return true;
        m_Reader.Feed(buffer, static_cast<std::size_t>(received));
    }
}

bool RelpSession::Dispatch(const RelpFrame& frame)
{
    if (frame.command == "serverclose")
        return End("the collector closed the session (serverclose)");
    if (frame.command != "rsp")
        return End("protocol error from the collector: unexpected command \"" + frame.command + "\" (transaction " +
                   std::to_string(frame.txnr) + ")");
    if (m_State == State::Opening && frame.txnr == m_NextTxnr) {
        m_OpenAnswer = frame.data;
        m_Answered = true;
        return true;
    }
    const std::string_view status = StatusLine(frame.data);
    if (m_State == State::Closing && frame.txnr == m_CloseTxnr) {
        // The collector answers close with no data at all, or with a status.
        const int code = frame.data.empty() ? 200 : StatusCode(status);
        if (code != 200)
            return End("the collector answered close with " + Quoted(status));
        m_Answered = true;
        return true;
    }
    return Acknowledge(frame, status);
}

bool RelpSession::Acknowledge(const RelpFrame& frame, std::string_view status)
{
    const auto it = std::find_if(m_Unacked.begin(), m_Unacked.end(),
                                 [&](const auto& entry) { return entry.first == frame.txnr; });
    if (it == m_Unacked.end())
        return End("protocol error from the collector: an answer to transaction " + std::to_string(frame.txnr) +
                   ", which is not outstanding");
    const int code = StatusCode(status);
    if (code < 0)
        return End("protocol error from the collector: the answer to transaction " + std::to_string(frame.txnr) +
                   " has no status: " + Quoted(status));
    if (code != 200)
        return End("the collector refused transaction " + std::to_string(frame.txnr) + ": " + Quoted(status));
    m_Acked.push_back(it->second);
    m_Unacked.erase(it);
    return true;
}

}  // namespace Quorlin
