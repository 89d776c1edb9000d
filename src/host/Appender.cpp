#include "Appender.h"

#include <cstdio>

#include "Level.h"
#include "LogLog.h"
#include "ThreadContext.h"

namespace Quorlin {
namespace {

std::atomic<std::int32_t> g_NextInstance{1};

bool Begins(const DString& key, const char* name) { return key.Find(name) == 0; }

// Header and footer values are one configuration line; \n, \r, \t and \\ stand for the characters.
DString Unescape(const DString& value)
{
    DString out;
    for (std::int32_t i = 0; i < value.GetLength(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.GetLength()) {
            const char next = value[++i];
            c = next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
        }
        out.Append(c);
    }
    return out;
}

}  // namespace

Filter::~Filter() = default;

FilterDecision LevelRangeFilter::Decide(const LoggingEvent& event) const
{
    return (event.m_Level >= m_Min && event.m_Level <= m_Max) ? FilterDecision::Accept : FilterDecision::Deny;
}

Writer::~Writer() = default;

Appender::Appender() : m_InstanceNumber(g_NextInstance.fetch_add(1)) {}

Appender::~Appender() = default;

bool Appender::Open()
{
    m_Closed.store(false);
    return true;
}

void Appender::Close() { m_Closed.store(true); }

void Appender::SetLayout(std::shared_ptr<Layout> layout) { m_Layout = std::move(layout); }

const std::shared_ptr<Layout>& Appender::GetLayout() const { return m_Layout; }

void Appender::AddFilter(std::shared_ptr<Filter> filter)
{
    if (filter)
        m_Filters.push_back(std::move(filter));
}

void Appender::NewLine(std::int32_t) {}

void Appender::SetOption(const DString& key, const DString& value)
{
    if (Begins(key, "threshold/value")) {
        std::int32_t level = 0;
        if (ParseLevel(value.StdView(), level))
            m_Threshold = level;
        else
            std::fprintf(stderr, "quorlin: appender '%s': threshold '%s' is not a level; kept %d\n", m_Name.c_str(),
                         value.c_str(), m_Threshold);
    } else if (Begins(key, "layout/value")) {
        SetLayout(std::make_shared<PatternLayout>(value.StdView()));
    } else if (Begins(key, "header/value")) {
        m_Header = Unescape(value);
    } else if (Begins(key, "footer/value")) {
        m_Footer = Unescape(value);
    } else {
        std::fprintf(stderr, "quorlin: appender '%s' (%s): unknown option '%s' ignored\n", m_Name.c_str(), m_TypeName.c_str(),
                     key.c_str());
    }
}

void Appender::ActivateOptions() {}

bool Appender::Decide(const LoggingEvent* event) const
{
    for (const auto& filter : m_Filters) {
        const FilterDecision decision = filter->Decide(*event);
        if (decision != FilterDecision::Neutral)
            return decision == FilterDecision::Accept;
    }
    return true;
}

DString Appender::Rendering(const LoggingEvent* event) const
{
    const Layout* layout = m_Layout.get();
    if (layout == nullptr || !event->m_Layout)
        return DString(event->m_Message, event->m_MessageLength);
    char* scratch = ThreadContext::TLSLayout::Get();
    const std::int32_t size = ThreadContext::TLSLayout::Size();
    std::int32_t n = layout->Format(scratch, size, event);
    if (n <= size)
        return DString(scratch, n);
    DString text;
    n = layout->Format(text.GetBufferSetLength(n), n, event);
    return text;
}

WriterAppender::~WriterAppender()
{
    if (!IsClosed() && m_Writer)
        m_Writer->Close();
}

bool WriterAppender::Open()
{
    Appender::Open();
    WriteHeader();
    return m_Writer != nullptr;
}

void WriterAppender::Close()
{
    if (!IsClosed()) {
        WriteFooter();
        if (m_Writer)
            m_Writer->Close();
    }
    Appender::Close();
}

void WriterAppender::Append(const LoggingEvent* event)
{
    if (Refuses(event))
        return;
    std::lock_guard<std::mutex> lock(m_AppendMutex);
    Writer* writer = m_Writer.get();
    if (writer == nullptr)
        return;
    WriteEvent(*writer, event);
    NewLine(event->m_Level);
}

void WriterAppender::NewLine(std::int32_t)
{
    if (m_Writer)
        m_Writer->NewLine();
}

void WriterAppender::WriteEvent(Writer& writer, const LoggingEvent* event)
{
    DString heap;
    const std::string_view text = RenderedText(event, heap);
    writer.Write(event->m_Level, text.data(), static_cast<std::int32_t>(text.size()), nullptr, 0);
}

std::string_view Appender::RenderedText(const LoggingEvent* event, DString& heap) const
{
    const Layout* layout = GetLayout().get();
    if (layout == nullptr || !event->m_Layout) {
        if (event->m_Message == nullptr || event->m_MessageLength < 1)
            return {};
        return std::string_view(event->m_Message, static_cast<std::size_t>(event->m_MessageLength));
    }
    char* scratch = ThreadContext::TLSLayout::Get();
    const std::int32_t size = ThreadContext::TLSLayout::Size();
    const std::int32_t n = layout->Format(scratch, size, event);
    if (n <= size)
        return std::string_view(scratch, static_cast<std::size_t>(n));
    heap = Rendering(event);  // longer than the scratch buffer: rendered on the heap
    return heap.StdView();
}

void WriterAppender::WriteHeader()
{
    if (m_Writer && !m_Header.IsEmpty())
        m_Writer->Write(0, m_Header.c_str(), m_Header.GetLength(), nullptr, 0);
}

void WriterAppender::WriteFooter()
{
    if (m_Writer && !m_Footer.IsEmpty())
        m_Writer->Write(0, m_Footer.c_str(), m_Footer.GetLength(), nullptr, 0);
}

}  // namespace Quorlin
