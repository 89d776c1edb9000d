#pragma once
// The base of every appender, and the WriterAppender that renders events for a Writer.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "Filter.h"
#include "Layout.h"
#include "LoggingEvent.h"
#include "Writer.h"
#include "utility/DString.h"

namespace Quorlin {

using ORBEK::Utility::DString;

class QUORLIN_API Appender {
public:
    Appender();
    virtual ~Appender();
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;

    // Marks the appender open; true.
    virtual bool Open();
    // Marks the appender closed; closed appenders refuse events.
    virtual void Close();
    virtual void Append(const LoggingEvent* event) = 0;
    virtual void SetLayout(std::shared_ptr<Layout> layout);
    virtual const std::shared_ptr<Layout>& GetLayout() const;
    virtual void AddFilter(std::shared_ptr<Filter> filter);
    // Called after each event a WriterAppender wrote; does nothing here.
    virtual void NewLine(std::int32_t level);
    // Takes "threshold/value", "layout/value", "header/value" and "footer/value" (header and footer
    // decode the escapes \n, \r, \t and a doubled backslash); any other key is reported as unknown
    // on standard error.
    virtual void SetOption(const DString& key, const DString& value);
    virtual void ActivateOptions();

    // True when the filters accept the event: the first filter that does not say Neutral decides.
    bool Decide(const LoggingEvent* event) const;
    // The layout's text for the event (the message when there is no layout or the event asks for none).
    DString Rendering(const LoggingEvent* event) const;

    void SetName(const DString& name) { m_Name = name; }
    const DString& GetName() const { return m_Name; }
    const DString& GetType() const { return m_TypeName; }
    void SetTypeName(const DString& type) { m_TypeName = type; }
    std::int32_t GetInstanceNumber() const { return m_InstanceNumber; }
    std::int32_t GetThreshold() const { return m_Threshold; }
    void SetThreshold(std::int32_t level) { m_Threshold = level; }
    bool IsClosed() const { return m_Closed.load(std::memory_order_relaxed); }
    const DString& GetHeader() const { return m_Header; }
    const DString& GetFooter() const { return m_Footer; }
    void SetHeader(const DString& text) { m_Header = text; }
    void SetFooter(const DString& text) { m_Footer = text; }

protected:
    // The common refusals of Append: closed, below a non-zero threshold, or rejected by the filters.
    bool Refuses(const LoggingEvent* event) const
    {
        return IsClosed() || (m_Threshold != 0 && m_Threshold > event->m_Level) || (!m_Filters.empty() && !Decide(event));
    }

    // The event's text: the message without a layout, else rendered into the per-thread layout
    // buffer, or into `heap` when it does not fit. Valid until the thread's next rendering.
    std::string_view RenderedText(const LoggingEvent* event, DString& heap) const;

    std::int32_t m_InstanceNumber;
    std::int32_t m_Threshold = 0;
    std::atomic<bool> m_Closed{true};
    DString m_Name;
    DString m_TypeName;
    DString m_Header;
    DString m_Footer;

private:
    std::shared_ptr<Layout> m_Layout;
    std::vector<std::shared_ptr<Filter>> m_Filters;
};

class QUORLIN_API WriterAppender : public Appender {
public:
    // Closes a writer that is still open, so that no buffered text is lost.
    ~WriterAppender() override;

    // Marks the appender open and writes the header; true when a writer exists.
    bool Open() override;
    // Writes the footer and closes the writer (once), then marks the appender closed.
    void Close() override;
    // Refusals, then the rendered text to the writer's Write, then NewLine (level). Concurrent
    // appends are serialised, so that an event's text and its line end stay together.
    void Append(const LoggingEvent* event) override;
    // Ends the event's line: the writer's NewLine.
    void NewLine(std::int32_t level) override;

    virtual void WriteHeader();
    virtual void WriteFooter();
    // Fills `writer` with a new Writer, or leaves it null.
    virtual void CreateWriter(std::unique_ptr<Writer>& writer) = 0;

    Writer* GetWriter() const { return m_Writer.get(); }

protected:
    // Replaces the current writer; the previous one is destroyed after the new one is in place.
    void SetWriter(std::unique_ptr<Writer> writer) { std::swap(m_Writer, writer); }
    // Renders into the per-thread layout buffer (or, when the text does not fit, a heap string) and writes.
    void WriteEvent(Writer& writer, const LoggingEvent* event);

    std::unique_ptr<Writer> m_Writer;

private:
    std::mutex m_AppendMutex;
};

}  // namespace Quorlin
