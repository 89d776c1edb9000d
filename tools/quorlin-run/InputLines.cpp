#include "InputLines.h"

#include <cstdint>
#include <cstring>

#include "host/System.h"
#include "os/Console.h"

namespace QuorlinRun {

InputLines::InputLines(std::size_t blockSize) : m_Block(blockSize) {}

bool InputLines::Give(std::string_view text, const LineFn& line)
{
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    return line(text);
}

bool InputLines::Split(const char* data, std::size_t size, const LineFn& line)
{
    const char* at = data;
    const char* const end = data + size;
    while (at < end) {
        const char* const lineEnd = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        if (lineEnd == nullptr) {
            m_Carry.append(at, end);
            return true;
        }
        bool more = false;
        if (m_Carry.empty()) {
            more = Give(std::string_view(at, static_cast<std::size_t>(lineEnd - at)), line);
        } else {
            m_Carry.append(at, lineEnd);
            more = Give(m_Carry, line);
            m_Carry.clear();
        }
        if (!more)
            return false;
        at = lineEnd + 1;
    }
    return true;
}

bool InputLines::Finish(const LineFn& line)
{
    if (m_Carry.empty())
        return true;
    const bool more = Give(m_Carry, line);
    m_Carry.clear();
    return more;
}

bool InputLines::ReadAll(const LineFn& line, std::string& error)
{
    for (;;) {
        std::uint32_t read = 0;
        const Quorlin::os::Status status =
            Quorlin::os::ReadStandardInput(m_Block.data(), static_cast<std::uint32_t>(m_Block.size()), read);
        if (!status) {
            error = Quorlin::os::ErrorText(status.native);
            return false;
        }
        m_ReadTicks = Quorlin::Detail::System::NowTicks();
        if (read == 0) {
            Finish(line);
            return true;
        }
        if (!Split(m_Block.data(), read, line))
            return true;
    }
}

}  // namespace QuorlinRun
