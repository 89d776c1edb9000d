#include "BacklogWriter.h"

#include <utility>

namespace Quorlin {

BacklogWriter::BacklogWriter(std::int32_t limit, LossAccount& losses, const WString& file)
    : m_Limit(limit), m_Losses(losses), m_File(file)
{
}

void BacklogWriter::Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
                          std::int32_t secondLength)
{
    if (level == 0)
        return;
    firstLength = first != nullptr && firstLength > 0 ? firstLength : 0;
    secondLength = second != nullptr && secondLength > 0 ? secondLength : 0;
    std::lock_guard<std::mutex> lock(m_Mutex);
    // Room for the line end too, so that a kept event is always whole.
    const std::int64_t needed = static_cast<std::int64_t>(m_Text.GetLength()) + firstLength + secondLength + 2;
    m_KeepLineEnd = needed <= m_Limit;
    if (!m_KeepLineEnd) {
        m_Losses.Lost(1, m_File);
        return;
    }
    m_Text.Append(first, firstLength);
    m_Text.Append(second, secondLength);
    ++m_Events;
}

void BacklogWriter::NewLine()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (std::exchange(m_KeepLineEnd, false))
        m_Text.Append("\r\n", 2);
}

void BacklogWriter::Preload(const DString& text, std::uint64_t events)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    DString joined(text);
    joined.Append(m_Text.c_str(), m_Text.GetLength());
    m_Text = std::move(joined);
    m_Events += events;
}

std::uint64_t BacklogWriter::Events() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Events;
}

}  // namespace Quorlin
