#pragma once
// Where records wait on disk while the collector is away: numbered segment files in a directory of
// their own, "NAME.0000000000000001.spool", each a run of "LENGTH SP RECORD LF" frames, written
// through the module's file layer. Segments are replayed oldest first; one whose records were all
// delivered is removed. Only the sender thread uses a spool.

#include <cstdint>
#include <string>
#include <vector>

#include "network/RecordQueue.h"

namespace Quorlin {

class DiskSpool {
public:
    // `name` tells this appender's segments from others' in a shared directory.
    DiskSpool(std::wstring directory, std::wstring name, std::uint64_t limit, std::int32_t instance);
    ~DiskSpool();
    DiskSpool(const DiskSpool&) = delete;
    DiskSpool& operator=(const DiskSpool&) = delete;

    // Creates the directory when missing and takes up the segments an earlier run left; false (with
    // `error`) when the directory cannot be made or read.
    bool Open(std::string& error);
    // Appends the batch's records, oldest first, as far as the size limit lets them; gives how many
    // went (fewer also when writing fails, which is reported).
    std::size_t Write(const RecordBatch& batch);
    // Moves up to `maxBytes` of the oldest records into `batch` (at least one when any waits). The
    // segment being written is closed first when it is the only one left, so that it can be read.
    std::size_t Read(RecordBatch& batch, std::size_t maxBytes);
    // The first `count` records handed out by Read since the last Delivered are gone to the collector.
    void Delivered(std::size_t count);
    // Before a stop: records handed out and not delivered stay for the next run, and what was
    // delivered of the segment being read is dropped from its file.
    void Keep();

    bool Empty() const { return m_Segments.empty(); }
    std::uint64_t Bytes() const { return m_Bytes; }

private:
    struct Segment {
        std::uint64_t number;
        std::uint64_t bytes;
    };

    std::wstring PathOf(std::uint64_t number) const;
    bool LoadOldest();
    void CloseWriting();
    bool StartSegment();
    void DropLoaded();
    // Writes `chunk` to the segment being written and empties it; false (reported) when writing fails.
    bool Flush(std::string& chunk);

    std::wstring m_Directory;
    std::wstring m_Name;
    std::uint64_t m_Limit;
    std::uint64_t m_SegmentLimit;
    std::int32_t m_Instance;
    std::vector<Segment> m_Segments;  // oldest first; the last one may be open for writing
    std::intptr_t m_Writing = -1;     // the newest segment's handle while it is written
    std::uint64_t m_Bytes = 0;        // on disk, all segments
    std::uint64_t m_NextNumber = 1;
    bool m_WriteFailed = false;       // reported once until a write works again
    // The oldest segment, read whole: its frames, the next one to hand out, the ones handed out.
    std::string m_Loaded;
    std::vector<std::pair<std::size_t, std::size_t>> m_Frames;  // (start, length) in m_Loaded
    std::size_t m_NextFrame = 0;
    std::size_t m_DeliveredFrames = 0;
    bool m_LoadedValid = false;
};

}  // namespace Quorlin
