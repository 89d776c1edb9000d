#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "network/RelpSession.h"

using Quorlin::RelpSession;
using namespace std::string_literals;

namespace {

// A peer whose bytes are scripted: each Receive hands over (up to capacity of) the next read; an empty
// read stands for a timeout. Past the script it times out, or reports the connection closed.
class ScriptedPeer : public Quorlin::Connection {
public:
    std::deque<std::string> reads;
    bool closesAtEnd = false;
    std::string sent;

    bool Send(const char* data, std::size_t size, std::uint32_t) override
    {
        sent.append(data, size);
        return true;
    }
    long Receive(char* buffer, std::size_t capacity, std::uint32_t) override
    {
        if (reads.empty())
            return closesAtEnd ? -1 : 0;
        std::string& next = reads.front();
        const std::size_t n = std::min(capacity, next.size());
        std::memcpy(buffer, next.data(), n);
        next.erase(0, n);
        if (next.empty())
            reads.pop_front();
        return static_cast<long>(n);
    }
};

const std::string kOpenOffer = "1 open 52 relp_version=0\nrelp_software=Quorlin\ncommands=syslog\n";
const std::string kOpenAnswer = "1 rsp 65 200 OK\nrelp_version=0\nrelp_software=collector,1.0\ncommands=syslog\n";

std::string Ok(int txnr) { return std::to_string(txnr) + " rsp 6 200 OK\n"; }

// A session opened against `peer`, with ids 10, 11, 12 sent as transactions 2, 3, 4.
void OpenAndSendThree(ScriptedPeer& peer, RelpSession& session)
{
    peer.reads.push_back(kOpenAnswer);
    std::string error;
    ASSERT_TRUE(session.Open(1000, error)) << error;
    for (std::uint64_t id : {10, 11, 12})
        ASSERT_TRUE(session.Send(id, "<13>record " + std::to_string(id), 1000));
}

// Reads acknowledgements until `count` have come or a call gives none.
std::vector<std::uint64_t> AcksUpTo(RelpSession& session, std::size_t count, bool& open)
{
    std::vector<std::uint64_t> acked;
    open = true;
    while (open && acked.size() < count) {
        const std::size_t before = acked.size();
        open = session.ReadAcks(1000, acked);
        if (acked.size() == before)
            break;
    }
    return acked;
}

}  // namespace

TEST(RelpSession, FramesCarryAnyBytesAndCountThem)
{
    const struct {
        std::string record, frame;
    } rows[] = {
        {"<13>hello", "2 syslog 9 <13>hello\n"},
        {"", "3 syslog 0\n"},
        {"a\nb\n", "4 syslog 4 a\nb\n\n"},
        {"nul\0x"s, "5 syslog 5 nul\0x\n"s},
        {"\xff\xfe\xc3(", "6 syslog 4 \xff\xfe\xc3(\n"},
        {"12 rsp 6 200 OK\n", "7 syslog 16 12 rsp 6 200 OK\n\n"},
    };
    ScriptedPeer peer;
    peer.reads.push_back(kOpenAnswer);
    RelpSession session(peer);
    std::string error;
    ASSERT_TRUE(session.Open(1000, error)) << error;
    std::string expected = kOpenOffer;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        ASSERT_TRUE(session.Send(100 + i, rows[i].record, 1000));
        expected += rows[i].frame;
        peer.reads.push_back(Ok(static_cast<int>(i) + 2));
    }
    peer.reads.push_back("8 rsp 0\n0 serverclose 0\n");  // imrelp's answer to close, then its goodbye
    EXPECT_TRUE(session.Close(1000)) << session.Error();
    EXPECT_EQ(peer.sent, expected + "8 close 0\n");
    std::vector<std::uint64_t> acked;
    EXPECT_FALSE(session.ReadAcks(0, acked));
    EXPECT_EQ(acked, (std::vector<std::uint64_t>{100, 101, 102, 103, 104, 105}));
}

TEST(RelpSession, TransactionNumbersWrapToOne)
{
    static_assert(Quorlin::NextRelpTxnr(1) == 2);
    static_assert(Quorlin::NextRelpTxnr(999'999'998) == 999'999'999);
    static_assert(Quorlin::NextRelpTxnr(999'999'999) == 1);
}

TEST(RelpSession, AcksAreGatheredHoweverTheReadsCutThem)
{
    const std::string all = Ok(2) + Ok(3) + Ok(4);
    std::vector<std::string> bytes;
    for (char c : all)
        bytes.emplace_back(1, c);
    const struct {
        const char* what;
        std::vector<std::string> reads;
        std::vector<std::uint64_t> acked;
    } rows[] = {
        {"all in one read", {all}, {10, 11, 12}},
        {"a byte per read", bytes, {10, 11, 12}},
        {"cut inside header and data", {"2 rsp 6 20", "0 OK\n3 r", "sp 6 200 OK\n4 rsp 6 ", "200 OK\n"}, {10, 11, 12}},
        {"answered out of order", {Ok(3) + Ok(2), Ok(4)}, {11, 10, 12}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedPeer peer;
        RelpSession session(peer);
        OpenAndSendThree(peer, session);
        peer.reads.insert(peer.reads.end(), row.reads.begin(), row.reads.end());
        bool open = false;
        EXPECT_EQ(AcksUpTo(session, 3, open), row.acked);
        EXPECT_TRUE(open) << session.Error();
        EXPECT_TRUE(session.Unacknowledged().empty());
    }
}

TEST(RelpSession, AnEndedSessionKeepsWhatWasNotAcknowledged)
{
    const struct {
        const char* reads;
        bool closes;
        std::vector<std::uint64_t> acked, unacked;
        const char* error;
    } rows[] = {
        {"2 rsp 6 200 OK\n3 rsp 14 500 overloaded\n4 rsp 6 200 OK\n",
         false,
         {10},
         {11, 12},
         "refused transaction 3: \"500 overloaded\""},
        {"3 rsp 6 200 OK\n0 serverclose 0\n", false, {11}, {10, 12}, "serverclose"},
        {"2 rsp 6 200 OK\n", true, {10}, {11, 12}, "connection to the collector closed"},
        {"2 rsp 6 200", true, {}, {10, 11, 12}, "connection to the collector closed"},
        {"2 rsp 6 200 OK\nx rsp 6 200 OK\n", false, {10}, {11, 12}, "transaction number expected, found 'x'"},
        {"2a rsp 6 200 OK\n", false, {}, {10, 11, 12}, "transaction number followed by 'a'"},
        {"0000000002 rsp", false, {}, {10, 11, 12}, "transaction number has more than 9 digits"},
        {"2 rsp 1000000000", false, {}, {10, 11, 12}, "data length has more than 9 digits"},
        {"2 rsp 999999999 ", false, {}, {10, 11, 12}, "data length 999999999 exceeds the limit"},
        {"2 rsp -6 200 OK\n", false, {}, {10, 11, 12}, "data length expected, found '-'"},
        {"2 rsp 6 200 OK!\n", false, {}, {10, 11, 12}, "no LF after 6 data bytes, found '!'"},
        {"2 rsp 0 \n", false, {}, {10, 11, 12}, "data length 0 followed by ' '"},
        {"2 rspabcdefghijklmnopqrstuvwxyzabcdefg 0\n", false, {}, {10, 11, 12}, "command longer than 32 letters"},
        {"2 syslog 0\n", false, {}, {10, 11, 12}, "unexpected command \"syslog\""},
        {"7 rsp 6 200 OK\n", false, {}, {10, 11, 12}, "transaction 7, which is not outstanding"},
        {"2 rsp 2 OK\n", false, {}, {10, 11, 12}, "has no status: \"OK\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reads);
        ScriptedPeer peer;
        RelpSession session(peer);
        OpenAndSendThree(peer, session);
        peer.reads.push_back(row.reads);
        peer.closesAtEnd = row.closes;
        bool open = true;
        EXPECT_EQ(AcksUpTo(session, 3, open), row.acked);
        EXPECT_FALSE(open);
        EXPECT_FALSE(session.IsOpen());
        EXPECT_NE(session.Error().find(row.error), std::string::npos) << session.Error();
        EXPECT_EQ(session.Unacknowledged(), row.unacked);
        EXPECT_FALSE(session.Send(13, "late", 1000));
        EXPECT_EQ(session.Unacknowledged(), row.unacked);
    }
}

TEST(RelpSession, OpenNeedsTheCollectorsYes)
{
    const struct {
        std::string answer;
        bool closes;
        const char* error;
    } rows[] = {
        {"1 rsp 44 500 required command not supported by client\n", false,
         "refused the session: \"500 required command not supported by client\""},
        {"1 rsp 34 200 OK\nrelp_version=0\ncommands=tls\n", false, "does not offer the syslog command"},
        {"1 rsp 6 200 OK\n", false, "does not offer the syslog command"},
        {"1 rsp 9 hello\nyou\n", false, "has no status: \"hello\""},
        {"HTTP/1.1 400 Bad Request\r\n", false, "transaction number expected, found 'H'"},
        {"0 serverclose 0\n", false, "serverclose"},
        {"", true, "connection to the collector closed"},
        {"", false, "no answer to the open offer within 50 ms"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        ScriptedPeer peer;
        if (!row.answer.empty())
            peer.reads.push_back(row.answer);
        peer.closesAtEnd = row.closes;
        RelpSession session(peer);
        std::string error;
        EXPECT_FALSE(session.Open(50, error));
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_FALSE(session.IsOpen());
        EXPECT_FALSE(session.Send(1, "x", 0));
        EXPECT_EQ(peer.sent, kOpenOffer);
    }
}

TEST(RelpSession, AFullWindowWaitsForAnAck)
{
    ScriptedPeer peer;
    peer.reads.push_back(kOpenAnswer);
    RelpSession session(peer, 2);
    std::string error;
    ASSERT_TRUE(session.Open(1000, error)) << error;
    ASSERT_TRUE(session.Send(10, "a", 1000));
    ASSERT_TRUE(session.Send(11, "b", 1000));
    const std::string sentBefore = peer.sent;

    // No ack within the time: the record is not sent and the session goes on.
    EXPECT_FALSE(session.Send(12, "c", 1000));
    EXPECT_TRUE(session.IsOpen());
    EXPECT_NE(session.Error().find("window of 2 transactions stayed full"), std::string::npos) << session.Error();
    EXPECT_EQ(peer.sent, sentBefore);

    peer.reads.push_back(Ok(3));
    EXPECT_TRUE(session.Send(12, "c", 1000));
    EXPECT_EQ(peer.sent, sentBefore + "4 syslog 1 c\n");
    EXPECT_EQ(session.Unacknowledged(), (std::vector<std::uint64_t>{10, 12}));
    std::vector<std::uint64_t> acked;
    EXPECT_TRUE(session.ReadAcks(0, acked));
    EXPECT_EQ(acked, std::vector<std::uint64_t>{11});
}

TEST(RelpSession, CloseWaitsForEveryAck)
{
    ScriptedPeer peer;
    RelpSession session(peer);
    OpenAndSendThree(peer, session);
    peer.reads.push_back(Ok(2) + Ok(3));
    EXPECT_FALSE(session.Close(50));
    EXPECT_NE(session.Error().find("1 transactions still unacknowledged"), std::string::npos) << session.Error();
    EXPECT_EQ(session.Unacknowledged(), std::vector<std::uint64_t>{12});
    EXPECT_EQ(peer.sent.find("close"), std::string::npos);
}
