// TLS sessions against openssl s_server on loopback, with certificates the openssl command line makes:
// a verified round trip, a server of another authority, names that do not match, a missing CA file.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "UnixProgram.h"
#include "Paths.h"
#include "TempDir.h"
#include "os/Socket.h"
#include "os/Status.h"
#include "os/Tls.h"

namespace os = Quorlin::os;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kWaitMs = 20000;  // generous: only a failing test waits it out

// A CA, a server certificate for 127.0.0.1 and localhost signed by it, and another CA that signs one
// for the same names. Each server serves one connection (its watchdog ends it after a minute).
constexpr char kCertificates[] = R"(set -e
cert() { openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout $1.key -out $1.pem -subj "/CN=$2"; }
cert ca "Quorlin Test CA"
cert other "Unrelated Test CA"
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' >server.ext
for signer in ca other; do
  openssl req -newkey rsa:2048 -nodes -keyout $signer-server.key -out $signer-server.csr -subj /CN=localhost
  openssl x509 -req -in $signer-server.csr -CA $signer.pem -CAkey $signer.key -CAcreateserial -days 2 \
    -extfile server.ext -out $signer-server.pem
done
)";

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Unavailable = QuorlinTest::UnixPath(QuorlinTest::Utf8(fs::temp_directory_path())).empty()
                            ? "no Linux side to run it on"
                            : "";
        s_Made.clear();
        if (s_Unavailable.empty()) {
            s_Dir = std::make_unique<QuorlinTest::TempDir>();
            StartScript("certificates", kCertificates);
        }
    }
    static void TearDownTestSuite() { s_Dir.reset(); }

    void SetUp() override
    {
        if (!s_Unavailable.empty())
            GTEST_SKIP() << "the openssl command line is out of reach: " << s_Unavailable;
        if (s_Made.empty())
            s_Made = AwaitScript("certificates");
        ASSERT_EQ(s_Made, "0") << QuorlinTest::ReadFile(Path("certificates.log"));
    }

    static fs::path Path(const std::string& name) { return s_Dir->Path() / name; }
    static std::string File(const std::string& name) { return QuorlinTest::Utf8(Path(name)); }

    // Starts `commands` as a script that runs in the folder, with its output in NAME.log and its exit
    // code in NAME.status at its end.
    static void StartScript(const std::string& name, const std::string& commands)
    {
        const std::string script = "cd " + QuorlinTest::UnixQuoted(QuorlinTest::UnixPath(File(""))) + " || exit 1\n" + "trap 'echo $? >" + name +
                                   ".status' EXIT\n" + "exec </dev/null >" + name + ".log 2>&1\n" + commands;
        std::ofstream(Path(name + ".sh"), std::ios::binary) << script;
        QuorlinTest::StartUnixProgram({"/bin/sh", QuorlinTest::UnixPath(File(name + ".sh"))});
    }

    // Waits until `condition` holds for the text of file `name`, for a minute at most; that text.
    template <class Condition>
    static std::string AwaitFile(const std::string& name, Condition condition)
    {
        std::string text;
        for (int polls = 0; polls < 3000 && !condition(text); ++polls) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            text = QuorlinTest::ReadFile(Path(name));
        }
        return text;
    }

    // The exit code of script `name`, once it has ended.
    static std::string AwaitScript(const std::string& name)
    {
        std::string status = AwaitFile(name + ".status",
                                       [](const std::string& text) { return !text.empty() && text.back() == '\n'; });
        return status.empty() ? "(still running)" : status.substr(0, status.size() - 1);
    }

    // Starts a server for one connection with the certificate `certificate` (ca-server or
    // other-server) that sends back each line it receives reversed; its port once it listens.
    std::uint16_t StartServer(const std::string& certificate)
    {
        const std::string name = "server" + std::to_string(s_Servers++);
        StartScript(name, "exec timeout 60 openssl s_server -accept 127.0.0.1:0 -naccept 1 -rev -cert " + certificate +
                              ".pem -key " + certificate + ".key\n");
        const std::string marker = "ACCEPT 127.0.0.1:";
        const std::string log = AwaitFile(name + ".log", [&](const std::string& text) {
            const std::size_t at = text.find(marker);
            return at != std::string::npos && text.find('\n', at) != std::string::npos;
        });
        if (const std::size_t at = log.find(marker); at != std::string::npos)
            return static_cast<std::uint16_t>(std::stoi(log.substr(at + marker.size())));
        ADD_FAILURE() << "the server did not start: " << log;
        return 0;
    }

    // Connects to the server at `port` on 127.0.0.1 and runs the handshake as `serverName` would.
    static os::Status Connect(std::uint16_t port, const char* serverName, const std::string& caFile, os::TlsHandle& session,
                              std::string& error)
    {
        os::SocketHandle socket = os::kNoSocket;
        if (const os::Status connected = os::ConnectSocket("127.0.0.1", port, os::SocketKind::Stream, kWaitMs, socket, error);
            !connected)
            return connected;
        return os::TlsConnect(socket, serverName, caFile.c_str(), kWaitMs, session, error);
    }

    static inline std::unique_ptr<QuorlinTest::TempDir> s_Dir;
    static inline std::string s_Unavailable;
    static inline std::string s_Made;  // the exit code of the certificates' script, once known
    static inline int s_Servers = 0;
};

// A session closed at the end of the test, whatever fails first.
struct OwnedSession {
    os::TlsHandle handle = nullptr;
    ~OwnedSession() { os::TlsClose(handle); }
};

TEST_F(TlsTest, VerifiedSessionCarriesKilobytesBothWays)
{
    const std::uint16_t port = StartServer("ca-server");
    ASSERT_NE(port, 0);
    OwnedSession session;
    std::string error = "stale";
    ASSERT_TRUE(Connect(port, "127.0.0.1", File("ca.pem"), session.handle, error).Ok()) << error;
    EXPECT_EQ(error, "");

    std::string lines, expected;
    for (int i = 0; i < 64; ++i) {
        std::string line(63, '\0');
        for (std::size_t j = 0; j < line.size(); ++j)
            line[j] = static_cast<char>('!' + (i * 31 + j * 7) % 94);
        lines += line + "\n";
        expected += std::string(line.rbegin(), line.rend()) + "\n";
    }
    std::size_t sent = 0;
    ASSERT_TRUE(os::TlsSend(session.handle, lines.data(), lines.size(), kWaitMs, sent).Ok());
    EXPECT_EQ(sent, lines.size());

    std::string received;
    char buffer[1000];  // smaller than what comes back: several reads, each one in its place
    while (received.size() < expected.size()) {
        std::size_t count = 0;
        const os::Status status = os::TlsReceive(session.handle, buffer, sizeof buffer, count, kWaitMs);
        ASSERT_TRUE(status.Ok()) << os::ErrorText(status.native);
        ASSERT_NE(count, 0u) << "the server closed after " << received.size() << " bytes";
        received.append(buffer, count);
    }
    EXPECT_EQ(received, expected);

    // The server closes the session on this line: close_notify reads as the orderly end, and sending
    // on fails once the connection is gone (a SIGPIPE would end this test binary instead).
    ASSERT_TRUE(os::TlsSend(session.handle, "CLOSE\n", 6, kWaitMs, sent).Ok());
    std::size_t count = 99;
    ASSERT_TRUE(os::TlsReceive(session.handle, buffer, sizeof buffer, count, kWaitMs).Ok());
    EXPECT_EQ(count, 0u);
    os::Status status;
    for (int attempt = 0; attempt < 100 && status.Ok(); ++attempt) {
        status = os::TlsSend(session.handle, lines.data(), lines.size(), kWaitMs, sent);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(status.kind, os::ErrorKind::ConnectionLost) << os::ErrorText(status.native);
}

TEST_F(TlsTest, ServerOfAnotherAuthorityIsRefused)
{
    const std::uint16_t port = StartServer("other-server");
    ASSERT_NE(port, 0);
    OwnedSession session;
    std::string error;
    const os::Status status = Connect(port, "127.0.0.1", File("ca.pem"), session.handle, error);
    EXPECT_EQ(status.kind, os::ErrorKind::BadCertificate) << error;
    EXPECT_EQ(session.handle, nullptr);
    const std::string start = "TLS handshake with [127.0.0.1]: certificate verify failed: ";
    EXPECT_EQ(error.rfind(start, 0), 0u) << error;
    EXPECT_GT(error.size(), start.size()) << "the reason";
}

TEST_F(TlsTest, ServerNameMustBeOneOfTheCertificate)
{
    struct Case {
        const char* serverName;
        bool matches;
    };
    for (const Case& c : {Case{"localhost", true}, Case{"quorlin.invalid", false}, Case{"127.0.0.2", false}}) {
        SCOPED_TRACE(c.serverName);
        const std::uint16_t port = StartServer("ca-server");
        ASSERT_NE(port, 0);
        OwnedSession session;
        std::string error;
        const os::Status status = Connect(port, c.serverName, File("ca.pem"), session.handle, error);
        if (c.matches) {
            EXPECT_TRUE(status.Ok()) << error;
            continue;
        }
        EXPECT_EQ(status.kind, os::ErrorKind::BadCertificate) << error;
        EXPECT_EQ(session.handle, nullptr);
        EXPECT_EQ(error.rfind("TLS handshake with [" + std::string(c.serverName) + "]: ", 0), 0u) << error;
    }
}

TEST_F(TlsTest, MissingCaFileIsNamedAndTheConnectionClosed)
{
    os::SocketHandle listener = os::kNoSocket, client = os::kNoSocket, server = os::kNoSocket;
    std::uint16_t port = 0;
    ASSERT_TRUE(os::ListenLoopback(os::SocketKind::Stream, port, listener).Ok());
    std::string error;
    ASSERT_TRUE(os::ConnectSocket("127.0.0.1", port, os::SocketKind::Stream, kWaitMs, client, error).Ok()) << error;
    ASSERT_TRUE(os::AcceptConnection(listener, kWaitMs, server).Ok());

    OwnedSession session;
    const std::string missing = File("missing.pem");
    const os::Status status = os::TlsConnect(client, "127.0.0.1", missing.c_str(), kWaitMs, session.handle, error);
    EXPECT_EQ(status.kind, os::ErrorKind::NotFound) << error;
    EXPECT_EQ(session.handle, nullptr);
    EXPECT_EQ(error.rfind("cannot read CA file [" + missing + "]: ", 0), 0u) << error;

    // The session took the socket and closed it: the other end sees the orderly close.
    char byte;
    std::size_t count = 99;
    EXPECT_TRUE(os::ReceiveSome(server, &byte, 1, count, kWaitMs).Ok());
    EXPECT_EQ(count, 0u);
    os::CloseSocket(server);
    os::CloseSocket(listener);
}

}  // namespace
