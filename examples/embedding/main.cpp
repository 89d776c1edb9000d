// Embedding the appender module: a program linked against it drives a BufferingForwardAppender
// itself and chooses, at run time, the appenders it forwards to.
//
//   embedding-example [LOG-FILE]      (default: embedding.log in the current directory)

#include <cstdio>
#include <memory>
#include <string>

#include "buffering/BufferingForwardAppender.h"
#include "host/Layout.h"
#include "host/LoggingEvent.h"

int main(int argc, char** argv)
{
    const char* logFile = argc > 1 ? argv[1] : "embedding.log";

    Quorlin::BufferingForwardAppender forwarder;
    forwarder.SetName("forwarder");
    forwarder.SetLayout(std::make_shared<Quorlin::PatternLayout>("%-5p %m"));  // shared with what it adds
    forwarder.SetOption("limitOfLogPacket/value", "4");                        // forward in batches of four
    // Open rebuilds the list from configured names (none here), so appenders are added after it.
    forwarder.Open();

    std::shared_ptr<Quorlin::Appender> file = forwarder.AddAppender("Appender.File", "file");
    std::shared_ptr<Quorlin::Appender> counter = forwarder.AddAppender("Appender.Null", "counter");
    if (!file || !counter) {
        std::fprintf(stderr, "embedding-example: the module created no appender\n");
        return 1;
    }
    file->SetOption("fileName/value", logFile);
    file->SetOption("appendToFile/value", "false");
    // Added appenders are neither activated nor opened by the forwarder.
    for (const auto& appender : {file, counter}) {
        appender->ActivateOptions();
        if (!appender->Open()) {
            std::fprintf(stderr, "embedding-example: '%s' could not be opened\n", appender->GetName().c_str());
            return 1;
        }
    }

    Quorlin::LoggingEvent event;
    event.m_LoggerName = "example";
    for (int i = 1; i <= 10; ++i) {
        const std::string message = "event " + std::to_string(i);
        event.m_Message = message.data();
        event.m_MessageLength = static_cast<std::int32_t>(message.size());
        event.m_Level = i % 3 == 0 ? 70000 : 50000;  // WARN, INFO
        event.m_SequenceNumber = i;
        forwarder.Append(&event);  // the forwarder keeps its own copy; `message` may go
    }

    auto byType = [](Quorlin::Appender* appender) { return appender->GetType() == "Appender.Null"; };
    if (auto found = forwarder.FindAppender(byType))
        std::printf("embedding-example: forwarding to '%s' and '%s'\n", forwarder.FindAppender("file")->GetName().c_str(),
                    found->GetName().c_str());
    // The counter leaves before the last batch; removing does not close it, so we do.
    forwarder.RemoveAppender("counter");
    counter->Close();
    // Close forwards the two events still buffered to the file, then closes it.
    forwarder.Close();
    std::printf("embedding-example: wrote %s\n", logFile);
    return 0;
}
