#pragma once
// "Appender.File": every rendered event into one log file, straight to the file.

#include "diagnostics/WriteStalls.h"
#include "file/FileWriter.h"
#include "file/LossAccount.h"
#include "host/Appender.h"

namespace Quorlin {

class FileAppender : public WriterAppender, protected WriteStalls::Probe {
public:
    FileAppender();
    ~FileAppender() override;

    // Makes the writer (CreateWriter) and opens the file; false when it cannot be opened, and the
    // previous writer is gone then.
    bool Open() override;
    // Closes the file; events that could not be written in the appender's life are summed up (LevelError).
    void Close() override;
    // Refusals, then the rendered event and its line end in one write of the file, without holding
    // other threads back while it is written (they join the next write). An appender whose writer is
    // not the file's own appends as every WriterAppender does.
    void Append(const LoggingEvent* event) override;
    // The line end after an event, when enabled and the event is at or above the threshold.
    void NewLine(std::int32_t level) override;
    // "fileName/type", "fileName/value", "appendToFile/value", "enableNewLine/value" (key begins with).
    void SetOption(const DString& key, const DString& value) override;
    // The file name from its pattern.
    void ActivateOptions() override;
    void WriteHeader() override;
    void WriteFooter() override;
    void CreateWriter(std::unique_ptr<Writer>& writer) override;

    const WString& GetFullFileName() const { return m_FullFileName; }
    // Events accepted and not written: a full disk, a file size limit, a file that would not open.
    std::uint64_t LostEventCount() const { return m_Losses.Total(); }

protected:
    // While a host waits for the module to write again: the note of the events lost, which tells
    // whether writing works again.
    void TryAgain() override;
    // A boolean option; text that is no boolean keeps the current value, with a diagnostic.
    bool BoolOption(const DString& key, const DString& value, bool current) const;

    DString m_FileNameType;
    DString m_FileNameValue;
    WString m_FullFileName;
    bool m_AppendToFile = true;
    bool m_EnableNewLine = true;
    FileWriter* m_DirectWriter = nullptr;  // the writer when it is the file's own, else null
    LossAccount m_Losses{*this, "FileAppender"};
};

}  // namespace Quorlin
