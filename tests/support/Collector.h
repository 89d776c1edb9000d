#pragma once
// A real syslog collector for the tests: rsyslogd, run from a directory of the test's own, listening on
// 127.0.0.1 only, on ports of its own, reading none of the machine's own log sources.
//
// Inputs, each with its own file in the directory (INPUT.log, one line per message):
//   "udp"   UDP datagrams, on the same port number as "tcp"
//   "tcp"   plain TCP, octet-counted ("LEN SP MSG") and LF-terminated framing both
//   "relp"  RELP
//   "tls"   TCP over TLS (RFC 5425, framing as "tcp"): the server's certificate is for localhost and
//           127.0.0.1, signed by CaFile(); OtherCaFile() is a CA that signed nothing here.
// Records keep their arrival order (per connection for the stream inputs) and are written as soon as
// rsyslogd has them, so what it received survives Kill(). Messages up to 64 KiB.
//
// Fields are rsyslog's reading of the message, with its escaping of control characters on reception:
// a control character comes out as '#' and three octal digits (LF "#012", tab "#011", NUL "#000",
// CR "#015"), so a literal "#012" in a message looks the same. Other bytes, UTF-8 included, are kept.
//
// Under Wine the same class runs the same collector: rsyslogd is a Linux program started beside the
// Windows test, and the files are read through the test's own path to the directory.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace QuorlinTest {

class LoopbackSocket;

struct SyslogRecord {
    int pri = -1;
    // As sent: RFC 5424's TIMESTAMP ("-" included) or RFC 3164's "Mmm dd hh:mm:ss"; for anything else,
    // rsyslog's RFC 3339 reading of it (the time of reception when there was none).
    std::string timestamp;
    std::string hostname, appName, procId, msgId;  // "-" for none (RFC 5424's NILVALUE)
    // MSG: what follows the structured data in RFC 5424 (a BOM kept), or the tag's colon in RFC 3164
    // (the space after it kept).
    std::string message;
    std::string raw;             // the message as received, without its framing
    std::string structuredData;  // RFC 5424's STRUCTURED-DATA as sent, "-" for none
};

class Collector {
public:
    // Starts rsyslogd in `directory` (created if need be, UTF-8) and waits until every port accepts;
    // Running() false and Error() say when it could not.
    explicit Collector(const std::string& directory);
    // Kills rsyslogd; what it wrote stays in the directory.
    ~Collector();
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    bool Running() const;
    // Why it could not start (or restart); empty when it did.
    std::string Error() const { return m_Error; }

    std::uint16_t UdpPort() const { return m_Udp; }
    std::uint16_t TcpPort() const { return m_Tcp; }
    std::uint16_t RelpPort() const { return m_Relp; }
    std::uint16_t TlsPort() const { return m_Tls; }
    // PEM files of the CA that signed the server's certificate, and of one that did not.
    std::string CaFile() const;
    std::string OtherCaFile() const;

    // SIGKILL, as a crash: no orderly shutdown, nothing more accepted.
    void Kill();
    // Starts again on the same ports with the same config, keeping what was written; false (with
    // Error()) when it could not.
    bool Restart();

    // Every record received so far on `input` ("udp", "tcp", "relp", "tls"), in arrival order,
    // waiting up to timeoutMs for there to be at least `atLeast`. Throws std::invalid_argument for
    // another input name.
    std::vector<SyslogRecord> Received(const std::string& input, std::size_t atLeast, std::uint32_t timeoutMs) const;

    // The path a Linux program (openssl, for one) sees for a file of the directory.
    std::string UnixFile(const std::string& name) const { return m_UnixDirectory + "/" + name; }

private:
    bool Start(bool newPorts);
    bool ChoosePorts();
    bool PortsAccept() const;
    // Sends one command line to the collector script (none when empty) and gives its answer, empty
    // when there was none within timeoutMs.
    std::string Command(const std::string& line, std::uint32_t timeoutMs) const;

    std::filesystem::path m_Directory;
    std::string m_UnixDirectory;
    std::unique_ptr<LoopbackSocket> m_Control;
    mutable std::mutex m_ControlLock;
    mutable std::string m_Pending;
    std::uint16_t m_Udp = 0, m_Tcp = 0, m_Relp = 0, m_Tls = 0;
    std::string m_Error;
};

}  // namespace QuorlinTest
