#include "ConsoleAppender.h"

#include <cstring>

#include "os/Console.h"

namespace Quorlin {
namespace {

// Direct console output takes zero-terminated text; event texts carry lengths instead, so they go
// out in terminated chunks and never past their length.
void PutText(const char* text, std::int32_t length)
{
    char chunk[1024];
    while (length > 0) {
        const std::int32_t n = length < static_cast<std::int32_t>(sizeof chunk) - 1 ? length
                                                                                    : static_cast<std::int32_t>(sizeof chunk) - 1;
        std::memcpy(chunk, text, static_cast<std::size_t>(n));
        chunk[n] = '\0';
        os::PutConsoleText(chunk);
        text += n;
        length -= n;
    }
}

}  // namespace

void ConsoleWriter::NewLine() { os::PutConsoleText("\r\n"); }

void ConsoleWriter::Write(std::int32_t, const char* first, std::int32_t firstLength, const char* second,
                          std::int32_t secondLength)
{
    if (first != nullptr && firstLength >= 1)
        PutText(first, firstLength);
    if (second != nullptr && secondLength >= 1)
        PutText(second, secondLength);
}

ConsoleAppender::ConsoleAppender() { SetTypeName(DString("Appender.Console")); }

bool ConsoleAppender::Open()
{
    os::SetConsoleOutputMode(os::StdOutConsole(), 1);
    std::unique_ptr<Writer> writer;
    CreateWriter(writer);
    SetWriter(std::move(writer));
    return WriterAppender::Open();
}

void ConsoleAppender::CreateWriter(std::unique_ptr<Writer>& writer) { writer = std::make_unique<ConsoleWriter>(); }

}  // namespace Quorlin
