#!/bin/sh
# Starts the test mail servers (mail_servers.py) in a folder of their own, runs the test
# program under Wine with SMTP_TEST_DIR naming that folder, and stops the servers.
# Arguments: the test program and its arguments. Runs under the test run's Wine environment.
set -eu
here=$(dirname "$0")
dir=$(mktemp -d "${TMPDIR:-/tmp}/smtp-servers.XXXXXX")
fifo=$dir/control
mkfifo "$fifo"
# The servers run until their standard input, the fifo, closes.
/usr/bin/python3 "$here/mail_servers.py" "$dir" <"$fifo" >"$dir/servers.log" 2>&1 &
servers=$!
exec 3>"$fifo"
stop() {
  exec 3>&-
  wait "$servers" 2>/dev/null || true
}
trap stop EXIT
i=0
while [ ! -e "$dir/ready" ]; do
  i=$((i + 1))
  if [ "$i" -gt 200 ] || ! kill -0 "$servers" 2>/dev/null; then
    echo "the mail servers did not start:"
    cat "$dir/servers.log"
    exit 1
  fi
  sleep 0.1
done
status=0
SMTP_TEST_DIR="Z:$(printf '%s' "$dir" | tr / '\\')" wine "$@" || status=$?
if [ "$status" -eq 0 ]; then
  stop
  trap - EXIT
  rm -rf "$dir"
else
  echo "servers' log:"
  cat "$dir/servers.log"
fi
exit "$status"
