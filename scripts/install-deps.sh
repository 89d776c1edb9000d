#!/bin/sh
# Installs the Debian packages the build needs, if any is missing. Runs as root on a fresh Debian 12.
# usage: install-deps.sh [run|test|bench]
set -eu
what=${1:-test}
packages="cmake ninja-build g++ make libgtest-dev gzip libdeflate-dev libssl-dev"
case "$what" in
  test)  packages="$packages openssl g++-mingw-w64-x86-64-posix wine64 libz-mingw-w64-dev zlib1g-dev clang libclang-rt-14-dev" ;;
  bench) packages="$packages libbenchmark-dev libspdlog-dev zlib1g-dev gnuplot-nox daemontools apache2-utils bc" ;;
esac
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
