#pragma once
// Where a file appender's events wait while its file cannot be opened: rendered events are kept in
// memory up to a limit, and what does not fit is counted as lost. When the file opens, the kept text
// is written to it first.

#include <cstdint>
#include <mutex>

#include "file/LossAccount.h"
#include "host/Writer.h"
#include "utility/DString.h"

namespace Quorlin {

class BacklogWriter final : public Writer {
public:
    // Keeps at most `limit` bytes of events; `file` names the file in the loss diagnostics.
    BacklogWriter(std::int32_t limit, LossAccount& losses, const WString& file);

    // An event (level other than 0) is kept whole with its line end, or counted as lost. The
    // appender's own texts (level 0: header, footer, banners) are not kept: the file gets its own.
    void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
               std::int32_t secondLength) override;
    void NewLine() override;  // the line end of a kept event only
    void Flush() override {}
    void Close() override {}

    // Puts text of `events` whole events in front of what is kept (a batch whose write failed).
    void Preload(const DString& text, std::uint64_t events);
    // What is kept; only while no event can be written (under the appender's exclusive lock).
    const DString& Text() const { return m_Text; }
    std::uint64_t Events() const;

private:
    std::int32_t m_Limit;
    LossAccount& m_Losses;
    WString m_File;
    mutable std::mutex m_Mutex;
    DString m_Text;
    std::uint64_t m_Events = 0;
    bool m_KeepLineEnd = false;
};

}  // namespace Quorlin
