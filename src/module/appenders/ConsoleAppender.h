#pragma once
// "Appender.Console": every rendered event straight to the process's console.

#include "host/Appender.h"

namespace Quorlin {

class ConsoleWriter final : public Writer {
public:
    void Close() override {}
    void Flush() override {}
    void NewLine() override;
    // The level is not used; each text of length 1 or more is written, exactly its length.
    void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
               std::int32_t secondLength) override;
};

class ConsoleAppender : public WriterAppender {
public:
    ConsoleAppender();
    // Processed-output console mode, a new writer in place of any previous one, then the base's Open.
    bool Open() override;
    void CreateWriter(std::unique_ptr<Writer>& writer) override;
};

}  // namespace Quorlin
