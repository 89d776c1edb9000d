#include "FileAppender.h"

#include <typeinfo>

#include "diagnostics/Trace.h"
#include "host/Utility.h"

namespace Quorlin {
namespace {
bool Begins(const DString& key, const char* name) { return key.Find(name) == 0; }
}  // namespace

FileAppender::FileAppender() { SetTypeName(DString("Appender.File")); }

FileAppender::~FileAppender() { WriteStalls::Remove(this); }

void FileAppender::SetOption(const DString& key, const DString& value)
{
    if (Begins(key, "fileName/type"))
        m_FileNameType = value;
    else if (Begins(key, "fileName/value"))
        m_FileNameValue = value;
    else if (Begins(key, "appendToFile/value"))
        m_AppendToFile = BoolOption(key, value, m_AppendToFile);
    else if (Begins(key, "enableNewLine/value"))
        m_EnableNewLine = BoolOption(key, value, m_EnableNewLine);
    else
        Appender::SetOption(key, value);
}

bool FileAppender::BoolOption(const DString& key, const DString& value, bool current) const
{
    // A misspelt value must not silently turn appending into truncating.
    bool parsed = current;
    if (ORBEK::Utility::TryParseBool(value, parsed))
        return parsed;
    Trace(LevelError, "[{$}] {$} : [{$}] is not true or false, keeping {$}", m_InstanceNumber, key, value,
          current ? "true" : "false");
    return current;
}

void FileAppender::ActivateOptions() { m_FullFileName = Utility::PatternToFileName(m_FileNameValue.c_str()); }

bool FileAppender::Open()
{
    Trace(LevelInfo, "[{$}] Enter FileAppender.Open, [{$}] -> [{$}]", m_InstanceNumber, m_FileNameType, m_FileNameValue);
    WriteStalls::Remove(this);
    std::unique_ptr<Writer> writer;
    CreateWriter(writer);
    m_DirectWriter = writer && typeid(*writer) == typeid(FileWriter) ? static_cast<FileWriter*>(writer.get()) : nullptr;
    SetWriter(std::move(writer));  // the previous writer goes only now, after the new one was made
    if (GetWriter() == nullptr)
        return false;
    WriterAppender::Open();
    WriteStalls::Add(this);
    return true;
}

void FileAppender::TryAgain()
{
    if (auto* writer = dynamic_cast<FileWriter*>(GetWriter()))
        writer->WritePendingNote();
}

void FileAppender::Close()
{
    WriteStalls::Remove(this);
    WriterAppender::Close();
    m_Losses.Settle();
    m_Losses.ReportAtClose(m_FullFileName);
    Trace(LevelInfo, "[{$}] Leave FileAppender.Close", m_InstanceNumber);
}

void FileAppender::Append(const LoggingEvent* event)
{
    FileWriter* const writer = m_DirectWriter;
    if (writer == nullptr) {
        WriterAppender::Append(event);
        return;
    }
    if (Refuses(event))
        return;
    DString heap;
    writer->WriteEvent(event->m_Level, RenderedText(event, heap), m_EnableNewLine && m_Threshold <= event->m_Level);
}

void FileAppender::NewLine(std::int32_t level)
{
    if (m_EnableNewLine && m_Threshold <= level && GetWriter() != nullptr)
        GetWriter()->NewLine();
}

void FileAppender::WriteHeader()
{
    if (GetWriter() != nullptr)
        GetWriter()->Write(0, m_Header.c_str(), m_Header.GetLength(), nullptr, 0);
}

void FileAppender::WriteFooter()
{
    if (GetWriter() != nullptr)
        GetWriter()->Write(0, m_Footer.c_str(), m_Footer.GetLength(), nullptr, 0);
}

void FileAppender::CreateWriter(std::unique_ptr<Writer>& writer)
{
    writer.reset();
    if (m_FullFileName.IsEmpty()) {
        Trace(LevelError, "Leave FileAppender::CreateWriter due to FileName is empty !");
        return;
    }
    auto fileWriter = std::make_unique<FileWriter>();
    fileWriter->SetAppend(m_AppendToFile);
    fileWriter->SetEndTornLine(m_EnableNewLine);
    fileWriter->SetLossAccount(&m_Losses);
    if (fileWriter->Open(WString(m_FullFileName)))
        writer = std::move(fileWriter);
}

}  // namespace Quorlin
