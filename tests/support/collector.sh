#!/bin/bash
# Runs one rsyslogd for the tests' Collector and does what the Collector asks over a loopback
# connection, one line each way:
#   start UDP TCP RELP TLS  -> "started PID" or "failed WHY"   (writes the config for those ports)
#   kill                    -> "killed"                         (SIGKILL, as a crash)
#   status                  -> "running" or "stopped"
#   quit, or the connection closing (the test process ended) -> rsyslogd is killed and this exits.
# First it makes the certificates (once per directory) and says "ready" or "failed WHY".
# A Linux program on purpose: a Windows test under Wine starts it too and cannot start rsyslogd itself
# in a way it could wait for or kill.
# usage: collector.sh DIRECTORY CONTROL_PORT
set -u
dir=$1
control=$2
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
# A systemd notify socket or socket activation inherited from the test's environment is not ours.
unset NOTIFY_SOCKET LISTEN_FDS LISTEN_PID LISTEN_FDNAMES
cd "$dir" || exit 1
exec </dev/null >>collector.log 2>&1
exec 3<>"/dev/tcp/127.0.0.1/$control" || exit 1

pid=
reply() { printf '%s\n' "$*" >&3; }

stop() {
  [ -n "$pid" ] || return 0
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  pid=
}

alive() {
  local state=
  [ -n "$pid" ] && read -r _ _ state _ 2>/dev/null <"/proc/$pid/stat" && [ "$state" != Z ]
}

# A CA, a server certificate it signs for localhost and 127.0.0.1, and a second CA that signs nothing.
make_certs() {
  [ -s ca.pem ] && [ -s other-ca.pem ] && [ -s server.pem ] && [ -s server.key ] && return 0
  local ec="-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 3650"
  local ca="-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign"
  # shellcheck disable=SC2086
  openssl req -x509 $ec $ca -subj "/CN=Quorlin test CA" -keyout ca.key -out ca.pem &&
  openssl req -x509 $ec $ca -subj "/CN=Quorlin unrelated CA" -keyout other-ca.key -out other-ca.pem &&
  openssl req $ec -CA ca.pem -CAkey ca.key -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" -addext basicConstraints=critical,CA:FALSE \
    -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=serverAuth \
    -keyout server.key -out server.pem
}

# One file per input, one line per message: the fields tab-separated, exactly as rsyslog parsed them,
# then the message as received. Control characters (tab and LF included) are escaped on reception
# as #011, #012..., so a tab or a line end inside a field cannot occur. Collector.cpp reads this.
write_config() {
  cat <<EOF
global(workDirectory="$dir/work" processInternalMessages="on" maxMessageSize="64k" net.enableDNS="off"
       parser.escapeControlCharactersOnReceive="on" parser.escapeControlCharacterTab="on")
main_queue(queue.workerThreads="1")
module(load="imudp")
module(load="imtcp")
module(load="imrelp")
template(name="fields" type="list") {
  property(name="pri") constant(value="\t")
  property(name="timereported" dateFormat="rfc3339") constant(value="\t")
  property(name="hostname") constant(value="\t")
  property(name="app-name") constant(value="\t")
  property(name="procid") constant(value="\t")
  property(name="msgid") constant(value="\t")
  property(name="structured-data") constant(value="\t")
  property(name="msg") constant(value="\t")
  property(name="rawmsg") constant(value="\n")
}
ruleset(name="udp") { action(type="omfile" file="$dir/udp.log" template="fields" flushOnTXEnd="on" asyncWriting="off") }
ruleset(name="tcp") { action(type="omfile" file="$dir/tcp.log" template="fields" flushOnTXEnd="on" asyncWriting="off") }
ruleset(name="relp" queue.type="Direct") { action(type="omfile" file="$dir/relp.log" template="fields" flushOnTXEnd="on" asyncWriting="off") }
ruleset(name="tls") { action(type="omfile" file="$dir/tls.log" template="fields" flushOnTXEnd="on" asyncWriting="off") }
input(type="imudp" address="127.0.0.1" port="$1" ruleset="udp")
input(type="imtcp" address="127.0.0.1" port="$2" ruleset="tcp")
input(type="imrelp" address="127.0.0.1" port="$3" ruleset="relp")
input(type="imtcp" address="127.0.0.1" port="$4" ruleset="tls" streamDriver.name="ossl" streamDriver.mode="1"
      streamDriver.authMode="anon" streamDriver.caFile="$dir/ca.pem" streamDriver.certFile="$dir/server.pem"
      streamDriver.keyFile="$dir/server.key")
action(type="omfile" file="$dir/rsyslogd.log")
EOF
}

# Starts rsyslogd and waits for its start message. Anything else it logs before that (a port it
# could not bind, a config error) is a failure; what comes after is the tests' business.
start() {
  stop
  write_config "$@" >rsyslog.conf
  mkdir -p work
  rm -f rsyslogd.pid  # left behind by a kill; rsyslogd refuses to start over a pid file naming a live process
  local before=0
  [ -f rsyslogd.log ] && before=$(wc -l <rsyslogd.log)
  rsyslogd -n -f "$dir/rsyslog.conf" -i "$dir/rsyslogd.pid" 2>>rsyslogd.err &
  pid=$!
  local tries=0
  until grep -F "x-pid=\"$pid\"" rsyslogd.log 2>/dev/null | grep -q '\] start$'; do
    if ! alive; then
      pid=
      reply "failed rsyslogd exited: $(tail -n 1 rsyslogd.err)"
      return
    fi
    tries=$((tries + 1))
    if [ "$tries" -gt 1000 ]; then
      stop
      reply "failed rsyslogd did not start within 10 s"
      return
    fi
    sleep 0.01
  done
  local complaint
  complaint=$(tail -n "+$((before + 1))" rsyslogd.log | sed -n "/x-pid=\"$pid\".*\] start\$/q;p" | head -n 1)
  # The collector must not read the machine's own log sources.
  if grep -qE 'imuxsock|imklog|imjournal' "/proc/$pid/maps"; then
    complaint="rsyslogd loaded a local log input"
  fi
  if [ -n "$complaint" ]; then
    stop
    reply "failed $complaint"
    return
  fi
  reply "started $pid"
}

trap stop EXIT
if ! make_certs >certs.log 2>&1; then
  reply "failed could not make the certificates: $(tail -n 1 certs.log)"
  exit 1
fi
reply ready
while read -r command udp tcp relp tls <&3; do
  case $command in
    start) start "$udp" "$tcp" "$relp" "$tls" ;;
    kill) stop; reply killed ;;
    status) if alive; then reply running; else reply stopped; fi ;;
    quit) stop; reply bye; exit 0 ;;
    *) reply "failed unknown command: $command" ;;
  esac
done
