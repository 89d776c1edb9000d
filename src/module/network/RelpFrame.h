#pragma once
// RELP frames, "TXNR SP COMMAND SP DATALEN [SP DATA] LF": written for the collector and read back from its
// byte stream.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Quorlin {

// TXNR and DATALEN have at most 9 digits; a COMMAND at most 32 letters.
inline constexpr std::uint32_t kRelpMaxNumber = 999'999'999;
inline constexpr std::size_t kRelpMaxCommand = 32;

struct RelpFrame {
    std::uint32_t txnr = 0;
    std::string command;
    std::string data;
};

// The transaction number after `txnr`: 999999999 -> 1 (0 is the collector's own, for serverclose).
constexpr std::uint32_t NextRelpTxnr(std::uint32_t txnr) { return txnr >= kRelpMaxNumber ? 1 : txnr + 1; }

// Appends one frame to `out`; `data` is any bytes, at most kRelpMaxNumber of them (the caller checks).
void AppendRelpFrame(std::string& out, std::uint32_t txnr, std::string_view command, std::string_view data);

// The frames of a peer's byte stream, however its reads split or join them. Every length is checked
// against its bound before bytes are awaited or kept, so a hostile peer gets an error, never a large buffer.
class RelpFrameReader {
public:
    enum class Result { Frame, NeedMore, Error };

    // Frames carrying more than `maxData` bytes are an error.
    explicit RelpFrameReader(std::size_t maxData) : m_MaxData(maxData) {}

    void Feed(const char* data, std::size_t size);
    // The next complete frame into `frame`. After an Error (the reason in Error()) the stream is out of
    // step for good: every later call gives Error again.
    Result Next(RelpFrame& frame);
    const std::string& Error() const { return m_Error; }

private:
    Result Fail(std::string reason);

    std::size_t m_MaxData;
    std::string m_Buffer;
    std::size_t m_Start = 0;  // where the next frame begins in m_Buffer
    std::string m_Error;
};

}  // namespace Quorlin
