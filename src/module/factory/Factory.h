#pragma once
// The appender factory: the ten type names this module registers and creates.

#include "host/Appender.h"
#include "utility/StringView.h"

namespace Quorlin {

class Factory {
public:
    // Announces every type of the table, in its order, with the module's path.
    static void Register();
    // A new appender for the first type name the text contains (ignoring case), its type name set
    // to that row's; null for an empty text (silently) or a text that matches no row.
    static Appender* CreateAppender(const ORBEK::Utility::StringView& type);
};

}  // namespace Quorlin
