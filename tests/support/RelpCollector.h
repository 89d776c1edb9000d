#pragma once
// A real RELP collector for end-to-end tests: the system's rsyslogd with imrelp on a loopback port, run in
// the foreground from a test's own folder, writing each record it receives to a file there.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "network/Connection.h"

namespace QuorlinTest {

class RelpCollector {
public:
    explicit RelpCollector(std::filesystem::path folder) : m_Folder(std::move(folder)) {}
    // Stops the collector if it runs.
    ~RelpCollector();
    RelpCollector(const RelpCollector&) = delete;
    RelpCollector& operator=(const RelpCollector&) = delete;

    // Whether this machine has a collector to test against (rsyslogd, and imrelp loads); the reason if not.
    bool Available(std::string& reason);
    // Starts it and waits until it accepts connections; false with its output when it does not.
    bool Start(std::string& error);
    // A new stream connection to it; null with the reason when it cannot be made.
    std::unique_ptr<Quorlin::Connection> Connect(std::string& error);
    // What it has written so far: each record followed by LF.
    std::string Received() const;

private:
    std::filesystem::path m_Folder;
    std::uint16_t m_Port = 0;
    long m_Process = -1;
};

}  // namespace QuorlinTest
