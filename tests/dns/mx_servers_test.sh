#!/usr/bin/env bash
# Runs the Windows test program of the mail exchanger lookup against real name servers.
#   mx_servers_test.sh PROGRAM [ARGS...]
# In a mount namespace of its own, a private hosts file over /etc/hosts gives the test's
# server names (the built-in root servers' among them) their loopback addresses; no file of
# the machine changes. NSD serves the zones of zones/ on 127.53.0.1-6; dns_peers.py gives a
# listener that never answers on .7, roots that answer 6 s and 0.5 s late on .8 and .12, and
# one on .10 that sends forged answers ahead of the real one; nothing listens on .9. With
# MX_SMTP_SPOOL set, an SMTP server on 127.53.0.20:25 stands as example.test's exchangers.
# Everything started here is stopped on every way out. Needs root (port 53 and the mount), nsd and python3.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" != --inside ]; then
  [ "$(id -u)" = 0 ] || { echo "mx_servers_test: needs root (port 53, mount)" >&2; exit 1; }
  for tool in nsd unshare python3; do
    command -v "$tool" >/dev/null || { echo "mx_servers_test: $tool missing (scripts/setup installs it)" >&2; exit 1; }
  done
  exec unshare --mount --propagation private -- "$0" --inside "$@"
fi
shift
[ $# -ge 1 ] || { echo "usage: mx_servers_test.sh PROGRAM [ARGS...]" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/mx-servers.XXXXXX")
pids=()
stop_all() {
  local pid
  exec 3>&- 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# The names, seen only inside this namespace.
{
  cat /etc/hosts
  cat <<'HOSTS'
127.53.0.1 a.root-servers.net
127.53.0.2 b.root-servers.net
127.53.0.3 ns1.nic.test
127.53.0.4 ns.example.test
127.53.0.5 ns.mail.example.test
127.53.0.6 ns-err.example.test refused.dns-test
127.53.0.7 silent.dns-test
127.53.0.8 late.dns-test
127.53.0.9 closed.dns-test
127.53.0.10 forger.dns-test
127.53.0.12 slow.dns-test
127.53.0.20 mx-a.example.test mx-b.example.test mx-c.example.test
HOSTS
} >"$work/hosts"
mount --bind "$work/hosts" /etc/hosts

# One NSD per address: ADDRESS NAME ZONE=FILE...
start_nsd() {
  local address=$1 name=$2 dir=$work/$2
  shift 2
  mkdir -p "$dir"
  cat >"$dir/nsd.conf" <<CONF
server:
  ip-address: $address
  port: 53
  username: ""
  chroot: ""
  zonesdir: "$here/zones"
  database: ""
  zonelistfile: "$dir/zone.list"
  xfrdfile: "$dir/xfrd.state"
  xfrdir: "$dir"
  pidfile: "$dir/nsd.pid"
  logfile: "$dir/nsd.log"
  server-count: 1
  tcp-count: 4
  hide-version: yes
  verbosity: 1
remote-control:
  control-enable: no
CONF
  local zone
  for zone in "$@"; do
    printf 'zone:\n  name: "%s"\n  zonefile: "%s"\n' "${zone%%=*}" "${zone#*=}" >>"$dir/nsd.conf"
  done
  nsd -d -c "$dir/nsd.conf" >"$dir/stdout.log" 2>&1 &
  pids+=($!)
}
start_nsd 127.53.0.1 root1 .=root.zone
start_nsd 127.53.0.2 root2 .=root.zone
start_nsd 127.53.0.3 tld test=test.zone
start_nsd 127.53.0.4 domain example.test=example.test.zone plain.test=plain.test.zone
start_nsd 127.53.0.5 child mail.example.test=mail.example.test.zone
start_nsd 127.53.0.6 refusing refusing.invalid=refusing.zone

# The listeners of dns_peers.py; then the wait until each name server
# answers its zone's SOA question.
python3 "$here/dns_peers.py" silent 127.53.0.7 &
pids+=($!)
python3 "$here/dns_peers.py" late 127.53.0.8 127.53.0.1 6 &
pids+=($!)
python3 "$here/dns_peers.py" late 127.53.0.12 127.53.0.1 0.5 &
pids+=($!)
python3 "$here/dns_peers.py" forger 127.53.0.10 127.53.0.11 127.53.0.1 &
pids+=($!)
python3 "$here/dns_peers.py" ready 127.53.0.1=. 127.53.0.2=. 127.53.0.3=test \
  127.53.0.4=example.test 127.53.0.5=mail.example.test 127.53.0.6=refusing.invalid 127.53.0.10=. 127.53.0.12=. ||
  { cat "$work"/*/nsd.log "$work"/*/stdout.log >&2 2>/dev/null; exit 1; }

# With MX_SMTP_SPOOL set, example.test's exchangers get a real SMTP server on port 25
# (exchanger_smtp.py) that spools what it takes there.
if [ -n "${MX_SMTP_SPOOL:-}" ]; then
  rm -rf "$MX_SMTP_SPOOL"
  mkfifo "$work/smtp-control"
  /usr/bin/python3 "$here/exchanger_smtp.py" 127.53.0.20 25 "$MX_SMTP_SPOOL" \
    <"$work/smtp-control" >"$work/smtp.log" 2>&1 &
  pids+=($!)
  exec 3>"$work/smtp-control"
  for _ in $(seq 1 100); do
    [ -e "$MX_SMTP_SPOOL/ready" ] && break
    sleep 0.1
  done
  [ -e "$MX_SMTP_SPOOL/ready" ] || { cat "$work/smtp.log" >&2; exit 1; }
fi

set +e
"${CROSSCOMPILING_EMULATOR:-wine}" "$@"
rc=$?
set -e
exit "$rc"
