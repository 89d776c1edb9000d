#pragma once
// A syslog appender named "central", configured with the given options and opened.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "network/SyslogAppender.h"

namespace QuorlinTest {

using Options = std::vector<std::pair<std::string, std::string>>;

inline std::unique_ptr<Quorlin::SyslogAppender> Started(const Options& options)
{
    auto appender = std::make_unique<Quorlin::SyslogAppender>();
    appender->SetName(Quorlin::DString("central"));
    for (const auto& [key, value] : options)
        appender->SetOption(Quorlin::DString(key.c_str()), Quorlin::DString(value.c_str()));
    appender->ActivateOptions();
    EXPECT_TRUE(appender->Open());
    return appender;
}

}  // namespace QuorlinTest
