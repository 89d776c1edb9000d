#include "buffering/BufferingForwardAppender.h"
#include "diagnostics/ModuleInfo.h"
#include "factory/Factory.h"
#include "host/Utility.h"
#include "os/EntryPoint.h"
#include "os/Module.h"
#include "utility/ThreadPool.h"

namespace Quorlin {

void OnModuleLoad()
{
    const std::string path = os::ThisModulePath();
    ModuleInfo::RecordLocation(DString(path.c_str()));
    Factory::Register();
    BufferingForwardAppender::SetCreator(&Factory::CreateAppender);
    // The pool logs only when the framework does.
    if (!Utility::IsLogOn()) {
        ORBEK::Utility::Manager::SetLogger(nullptr);
        ORBEK::Utility::Manager::Prepare();
    } else {
        ORBEK::Utility::Manager::OpenLogger();
        ORBEK::Utility::Manager::Prepare();
    }
}

}  // namespace Quorlin
