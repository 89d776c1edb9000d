#pragma once
// Compresses a history file with the gzip program that ships beside the module.

#include "rolling/Action.h"
#include "utility/DString.h"

namespace Quorlin {

using ORBEK::Utility::WString;

class GZCompressAction : public Action {
public:
    // target is what gzip writes (source + ".gz"); deleteSource false keeps the source ("-k").
    GZCompressAction(const WString& source, const WString& target, bool deleteSource);
    ~GZCompressAction() override;

    // Deletes a stale target, then runs gzip on the source and waits for it. Always true: a gzip that
    // cannot be started is reported at LevelError and leaves the source as it was. A source that is
    // gone, or that another compression of the module is working on, is left alone with its target.
    bool Execute() override;
    // Whether the last Execute found gzip unusable: it could not be started, or outlived its bound.
    bool GzipUnusable() const { return m_GzipUnusable; }

    // The program started and its command line: the quoted program path, the options, the quoted source.
    WString ProgramPath() const;
    WString CommandLine(const WString& programPath) const;

    const WString& Source() const { return m_Source; }
    const WString& Target() const { return m_Target; }
    bool DeletesSource() const { return m_DeleteSource; }

private:
    WString m_Source;
    WString m_Target;
    bool m_DeleteSource;
    bool m_GzipUnusable = false;
};

// One argument in double quotes as the Windows command-line rules read it back whole: backslashes
// before a quote and at the end doubled, quotes escaped ("C:\logs\app.1.log" stays as it is, quoted).
WString QuoteArgument(const WString& argument);

}  // namespace Quorlin
