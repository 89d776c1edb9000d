#pragma once
// A Writer that keeps every call instead of writing a file; safe to share between threads.

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/Writer.h"

namespace QuorlinTest {

class RecordingWriter : public Quorlin::Writer {
public:
    struct Call {
        std::int32_t level;
        std::string first;
        bool hasSecond;  // a second text was passed (non-null with a length above 0)
        std::string second;
    };

    void Close() override {}
    void Flush() override {}
    void NewLine() override { Add({0, "\r\n", false, {}}); }
    void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
               std::int32_t secondLength) override
    {
        Call call{level, {}, second != nullptr && secondLength > 0, {}};
        if (first != nullptr && firstLength > 0)
            call.first.assign(first, static_cast<std::size_t>(firstLength));
        if (call.hasSecond)
            call.second.assign(second, static_cast<std::size_t>(secondLength));
        Add(std::move(call));
    }

    std::vector<Call> Calls() const
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Calls;
    }
    // Everything written, in order, as the file would hold it.
    std::string Bytes() const
    {
        std::string bytes;
        for (const Call& call : Calls())
            bytes += call.first + call.second;
        return bytes;
    }

private:
    void Add(Call call)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Calls.push_back(std::move(call));
    }
    mutable std::mutex m_Mutex;
    std::vector<Call> m_Calls;
};

// What a writer handed over to an owner (an appender, a BufferedWriter) was asked to do, kept by the
// test so that it outlives the writer.
struct WriterCalls {
    std::vector<std::pair<int, std::string>> writes;  // (level, both texts joined)
    int newLines = 0;
    int closes = 0;
};

class CallRecorder : public Quorlin::Writer {
public:
    explicit CallRecorder(WriterCalls& calls) : m_Calls(calls) {}
    void Close() override { ++m_Calls.closes; }
    void Flush() override {}
    void NewLine() override { ++m_Calls.newLines; }
    void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
               std::int32_t secondLength) override
    {
        std::string text;
        if (first != nullptr && firstLength > 0)
            text.append(first, static_cast<std::size_t>(firstLength));
        if (second != nullptr && secondLength > 0)
            text.append(second, static_cast<std::size_t>(secondLength));
        m_Calls.writes.push_back({level, text});
    }

private:
    WriterCalls& m_Calls;
};

}  // namespace QuorlinTest
