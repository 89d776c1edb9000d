#!/bin/sh
# Platform code lives only in src/module/os (and in the framework stand-in's own few system calls,
# src/host/posix and src/host/win32): no system headers or platform macros elsewhere in the module, the
# stand-ins or the host program.
cd "$1" || exit 2
hits=$(grep -rnE '_WIN32|__linux__|<windows\.h>|<unistd\.h>|<sys/|<pthread\.h>|<dlfcn\.h>|<fcntl\.h>' \
  src tools --include='*.cpp' --include='*.h' | grep -vE '^src/(module/os|host/posix|host/win32)/')
if [ -n "$hits" ]; then
  echo "platform code outside the platform folders:"
  echo "$hits"
  exit 1
fi
echo "platform seam: clean"
