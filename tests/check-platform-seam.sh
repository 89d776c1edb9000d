#!/bin/sh
# Platform code lives only in src/module/os: no system headers or platform macros elsewhere in the module,
# the framework stand-ins or the host program.
cd "$1" || exit 2
hits=$(grep -rnE '_WIN32|__linux__|<windows\.h>|<unistd\.h>|<sys/|<pthread\.h>|<dlfcn\.h>|<fcntl\.h>' \
  src tools --include='*.cpp' --include='*.h' | grep -v '^src/module/os/')
if [ -n "$hits" ]; then
  echo "platform code outside src/module/os:"
  echo "$hits"
  exit 1
fi
echo "platform seam: clean"
