#!/bin/sh
# Installs the Debian packages the build needs, if any is missing. Runs as root on a fresh Debian 12.
# usage: install-deps.sh [run|test|bench]
set -eu
what=${1:-test}
packages="cmake ninja-build g++ make libgtest-dev gzip libdeflate-dev libssl-dev"
case "$what" in
  test)  packages="$packages g++-mingw-w64-x86-64-posix wine64 libz-mingw-w64-dev zlib1g-dev clang libclang-rt-14-dev"
         # the syslog tests' collector: rsyslogd with RELP and TLS inputs, and openssl for its certificates
         packages="$packages rsyslog rsyslog-relp rsyslog-openssl openssl" ;;
  bench) packages="$packages libbenchmark-dev libspdlog-dev zlib1g-dev gnuplot-nox daemontools apache2-utils bc rsyslog rsyslog-relp rsyslog-openssl openssl" ;;
esac
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive

# Installing rsyslog must not start the machine's own syslog daemon: the tests run their own. A
# policy-rc.d that refuses every start (invoke-rc.d and deb-systemd-invoke both ask it) is put in
# place for the install when there is none, and removed after.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# install-deps.sh: no service starts during this install\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  trap '$SUDO rm -f "$policy"' EXIT
  trap 'exit 130' INT TERM
fi
# The machine's own rsyslogd: one not given a config file of its own (-f), as the tests' collectors are.
system_rsyslogd() {
  for proc in /proc/[0-9]*; do
    [ "$(cat "$proc/comm" 2>/dev/null)" = rsyslogd ] || continue
    tr '\0' ' ' <"$proc/cmdline" 2>/dev/null | grep -q -- ' -f' || printf '%s ' "${proc#/proc/}"
  done
}
before=$(system_rsyslogd)

$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing

# Should a start have slipped through anyway, stop the daemon this install started (and only it).
for pid in $(system_rsyslogd); do
  case " $before" in
    *" $pid "*) ;;
    *) echo "stopping the rsyslogd the install started ($pid)"; $SUDO kill "$pid" ;;
  esac
done
