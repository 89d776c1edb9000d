// Sockets over loopback: round trips, refusals, names that do not resolve, time-outs, closed peers.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "os/Socket.h"
#include "os/Status.h"

namespace os = Quorlin::os;

namespace {

constexpr std::uint32_t kWaitMs = 10000;  // generous: only a failing test waits it out

// A socket closed at the end of the test, whatever fails first.
struct OwnedSocket {
    os::SocketHandle handle = os::kNoSocket;
    OwnedSocket() = default;
    ~OwnedSocket() { os::CloseSocket(handle); }
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;
    void Close()
    {
        os::CloseSocket(handle);
        handle = os::kNoSocket;
    }
};

// A connected stream pair over loopback: `client` connected by name, `server` accepted.
void ConnectPair(OwnedSocket& client, OwnedSocket& server)
{
    OwnedSocket listener;
    std::uint16_t port = 0;
    ASSERT_TRUE(os::ListenLoopback(os::SocketKind::Stream, port, listener.handle).Ok());
    ASSERT_NE(port, 0);
    std::string error = "stale";
    // "localhost" may resolve to ::1 first, which refuses: the next address is tried.
    ASSERT_TRUE(os::ConnectSocket("localhost", port, os::SocketKind::Stream, kWaitMs, client.handle, error).Ok()) << error;
    EXPECT_EQ(error, "");
    ASSERT_TRUE(os::AcceptConnection(listener.handle, kWaitMs, server.handle).Ok());
}

// Repeats `send` until it fails or `attempts` have passed; the failure, or success when none came.
template <class Send>
os::Status FirstFailure(Send send, int attempts)
{
    os::Status status;
    for (int i = 0; i < attempts && status.Ok(); ++i) {
        status = send();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

}  // namespace

TEST(SocketTest, StreamCarriesBytesInOrderUntilThePeerCloses)
{
    OwnedSocket client, server;
    ASSERT_NO_FATAL_FAILURE(ConnectPair(client, server));
    std::string payload(6000, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 7 % 251);
    std::size_t sent = 0;
    ASSERT_TRUE(os::SendAll(client.handle, payload.data(), payload.size(), kWaitMs, sent).Ok());
    EXPECT_EQ(sent, payload.size());
    client.Close();

    std::string received;
    char buffer[1000];  // smaller than the payload: several reads, each one in its place
    for (int reads = 0; reads < 100; ++reads) {
        std::size_t count = 0;
        ASSERT_TRUE(os::ReceiveSome(server.handle, buffer, sizeof buffer, count, kWaitMs).Ok());
        if (count == 0)
            break;  // the orderly close
        received.append(buffer, count);
    }
    EXPECT_EQ(received, payload);
}

TEST(SocketTest, DatagramArrivesWholeAndAClosedPortRefusesLaterOnes)
{
    OwnedSocket receiver, sender;
    std::uint16_t port = 0;
    ASSERT_TRUE(os::ListenLoopback(os::SocketKind::Datagram, port, receiver.handle).Ok());
    std::string error;
    ASSERT_TRUE(os::ConnectSocket("127.0.0.1", port, os::SocketKind::Datagram, kWaitMs, sender.handle, error).Ok()) << error;
    const std::string record = "<13>one record";
    std::size_t sent = 0;
    ASSERT_TRUE(os::SendAll(sender.handle, record.data(), record.size(), kWaitMs, sent).Ok());
    char buffer[100];
    std::size_t count = 0;
    ASSERT_TRUE(os::ReceiveSome(receiver.handle, buffer, sizeof buffer, count, kWaitMs).Ok());
    EXPECT_EQ(std::string(buffer, count), record);

    // The port's refusal comes back after a send and fails one of the next ones.
    receiver.Close();
    const os::Status status = FirstFailure(
        [&] { return os::SendAll(sender.handle, record.data(), record.size(), kWaitMs, sent); }, 100);
    EXPECT_EQ(status.kind, os::ErrorKind::ConnectionRefused) << os::ErrorText(status.native);
}

TEST(SocketTest, FailedConnectionsNameTheirStepAndPeer)
{
    std::uint16_t port = 0;
    {
        OwnedSocket listener;  // a port just freed: nobody listens there
        ASSERT_TRUE(os::ListenLoopback(os::SocketKind::Stream, port, listener.handle).Ok());
    }
    OwnedSocket socket;
    std::string error;
    os::Status status = os::ConnectSocket("127.0.0.1", port, os::SocketKind::Stream, kWaitMs, socket.handle, error);
    EXPECT_EQ(status.kind, os::ErrorKind::ConnectionRefused);
    EXPECT_EQ(socket.handle, os::kNoSocket);
    EXPECT_EQ(error, "connection to [127.0.0.1]:[" + std::to_string(port) + "] refused");

    status = os::ConnectSocket("nosuch.invalid", 514, os::SocketKind::Datagram, kWaitMs, socket.handle, error);
    EXPECT_EQ(status.kind, os::ErrorKind::HostNotFound) << error;
    EXPECT_EQ(socket.handle, os::kNoSocket);
    EXPECT_EQ(error.rfind("cannot resolve [nosuch.invalid]: ", 0), 0u) << error;
    EXPECT_GT(error.size(), std::string("cannot resolve [nosuch.invalid]: ").size()) << "the resolver's reason";

    status = os::ConnectSocket(nullptr, 514, os::SocketKind::Stream, kWaitMs, socket.handle, error);
    EXPECT_FALSE(status.Ok());
    EXPECT_EQ(socket.handle, os::kNoSocket);
    EXPECT_NE(error, "");
}

TEST(SocketTest, ReceiveTimesOutAndSendingToAClosedPeerFailsWithoutASignal)
{
    OwnedSocket client, server;
    ASSERT_NO_FATAL_FAILURE(ConnectPair(client, server));
    char buffer[16];
    std::size_t count = 99;
    EXPECT_EQ(os::ReceiveSome(client.handle, buffer, sizeof buffer, count, 50).kind, os::ErrorKind::TimedOut);
    EXPECT_EQ(count, 0u);

    // The first writes after the close may still be taken; the peer's reset fails a later one, and a
    // SIGPIPE would end this test binary instead.
    server.Close();
    const std::string block(4096, 'x');
    std::size_t sent = 0;
    const os::Status status = FirstFailure([&] { return os::SendAll(client.handle, block.data(), block.size(), kWaitMs, sent); },
                                           100);
    EXPECT_EQ(status.kind, os::ErrorKind::ConnectionLost) << os::ErrorText(status.native);
}

TEST(SocketTest, HostNameIsKnown) { EXPECT_NE(os::HostName(), ""); }
