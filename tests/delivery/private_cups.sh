# Sourced by the print tests: a CUPS daemon of the test's own (configuration, spool, logs
# and output in one folder, listening on a free port of 127.0.0.1 only) with one
# PostScript queue that writes each job to a file. The machine's CUPS is not touched.
#
#   cups_start DIR     starts it; exports CUPS_SERVER, sets CUPS_OUTPUT (the job file)
#   cups_stop          stops it again

_cups_pid=

_cups_free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

cups_start() {
  local dir=$1 port
  port=$(_cups_free_port)
  mkdir -p "$dir/etc" "$dir/spool" "$dir/cache" "$dir/state" "$dir/tmp" "$dir/log" "$dir/out"
  chmod 0755 "$dir" "$dir/etc"
  # Filters and the file device run as the daemon's unprivileged user.
  chmod 0777 "$dir/out" "$dir/tmp"
  cat >"$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/printcap
ServerBin /usr/lib/cups
DataDir /usr/share/cups
FileDevice Yes
CONF
  cat >"$dir/etc/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel info
Browsing Off
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
  cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" </dev/null >"$dir/log/cupsd.out" 2>&1 &
  _cups_pid=$!
  export CUPS_SERVER=127.0.0.1:$port
  local i
  for i in $(seq 1 100); do
    # lpstat -r exits 0 either way; its text tells.
    [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ] && break
    kill -0 "$_cups_pid" 2>/dev/null || { cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null; return 1; }
    sleep 0.1
  done
  [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ] || { echo "cupsd did not answer"; return 1; }
  CUPS_OUTPUT=$dir/out/job.ps
  lpadmin -p velmo_pdf -E -v "file://$CUPS_OUTPUT" -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
    -o printer-error-policy=abort-job && lpadmin -d velmo_pdf
}

cups_stop() {
  if [ -n "$_cups_pid" ]; then
    kill "$_cups_pid" 2>/dev/null || true
    wait "$_cups_pid" 2>/dev/null || true
    _cups_pid=
  fi
}
