#!/bin/sh
# The print test: a CUPS daemon of the test's own with a queue that writes its jobs to a
# file (private_cups.sh), the print test program under Wine (which confirms the print
# dialog and writes the page facts), then the job made a PDF (ps2pdf) and checked with
# pdftotext (check_printed_report.py). Arguments: the test program and its arguments.
# Runs under the test run's Wine environment.
set -eu
# CUPS runs its filters as its own unprivileged user; in a user namespace that maps only
# root (the emulator route of scripts/route.sh) it can take no other identity.
if [ "$(awk 'END { print NR }' /proc/self/uid_map)" = 1 ] &&
  [ "$(awk '{ print $3 }' /proc/self/uid_map)" = 1 ]; then
  echo "skipped: the test's CUPS cannot run its filters as another user in a user namespace" \
    "that maps only root (the emulator route)"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d "${TMPDIR:-/tmp}/delivery-print.XXXXXX")
. "$here/private_cups.sh"
trap 'cups_stop' EXIT
if ! cups_start "$dir" >"$dir/start.log" 2>&1; then
  echo "the test's CUPS daemon did not start:"
  cat "$dir/start.log" "$dir/log/error_log" 2>/dev/null
  exit 1
fi
export DELIVERY_PRINT_FACTS="$dir/facts.txt"
wine "$@"
if [ ! -e "$DELIVERY_PRINT_FACTS" ]; then
  echo "the print test wrote no page facts"
  exit 1
fi
# The job is written when CUPS has run its filters.
i=0
while [ -n "$(lpstat -o 2>/dev/null)" ] || [ ! -s "$CUPS_OUTPUT" ]; do
  i=$((i + 1))
  if [ "$i" -gt 600 ]; then
    echo "no print job arrived:"
    tail -20 "$dir/log/error_log"
    exit 1
  fi
  sleep 0.1
done
ps2pdf "$CUPS_OUTPUT" "$dir/job.pdf"
if /usr/bin/python3 "$here/check_printed_report.py" "$dir/job.pdf" "$DELIVERY_PRINT_FACTS"; then
  cups_stop
  trap - EXIT
  rm -rf "$dir"
else
  echo "kept: $dir"
  exit 1
fi
