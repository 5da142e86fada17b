# shellcheck shell=bash
# Sourced by scripts/test and scripts/run: the route by which Wine's 32-bit
# Linux loader (and so every 32-bit Windows program) runs on this machine.
#
#   native    the kernel executes 32-bit x86 ELF files itself;
#   emulator  it does not (or ADRELO_ROUTE=emulator asks for it): the loader
#             runs under qemu-i386 built by scripts/build-qemu (Debian 13's
#             qemu with our patches), registered for 32-bit x86 ELF files only
#             in a private binfmt_misc instance inside a new user and mount
#             namespace. The machine's own binfmt_misc registrations are
#             neither used nor changed.
#
# Functions:
#   route_pick       sets and exports ADRELO_ROUTE (a preset value is checked);
#   route_exec CMD   runs CMD ARGS... on the picked route;
#   route_describe   one line naming the route, for a test run's header.
#
# ADRELO_QEMU may name a qemu-i386 binary to use instead of building one
# (to compare with another build, such as Debian 13's unpatched one);
# ADRELO_CACHE is where build-qemu keeps its builds. Needs Linux 6.7 or later for the emulator route (private
# binfmt_misc instances in user namespaces).
#
# Run as a script, this file is the part of route_exec that runs inside the
# new namespaces: scripts/route.sh --in-namespace QEMU CMD ARGS...

_route_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

_route_log() { echo "route: $*" >&2; }

# binfmt_misc registration of 32-bit x86 ELF executables and shared objects
# (e_ident class 1, little-endian, version 1; e_type 2 or 3; e_machine 3).
_route_i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
_route_i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# The 32-bit program the probe runs: Wine's own loader.
_route_probe_elf=/usr/lib/wine/wine

# Succeeds when the kernel itself runs a 32-bit x86 ELF file. The probe runs
# in a fresh private binfmt_misc instance with no registrations, so that a
# registration of an emulator on the machine cannot make it pass. Where no
# private instance can be made (kernels before 6.7), a machine with an
# enabled registration for 32-bit x86 ELF files counts as not native.
_route_native_ok() {
  [ -x "$_route_probe_elf" ] || return 1
  local out
  # shellcheck disable=SC2016 # the inner script expands its own variables
  if out=$(unshare --user --map-root-user --mount -- /bin/sh -c '
      d=$(mktemp -d) || exit 3
      mount -t binfmt_misc binfmt_misc "$d" 2>/dev/null || exit 3
      for e in "$d"/*; do
        case ${e##*/} in register | status) ;; *) exit 3 ;; esac
      done
      "$1" --version >/dev/null 2>&1 && echo native || echo refused' sh "$_route_probe_elf" \
      2>/dev/null); then
    [ "$out" = native ]
    return
  fi
  local b=/proc/sys/fs/binfmt_misc e
  for e in "$b"/*; do
    case ${e##*/} in register | status) continue ;; esac
    [ -f "$e" ] || continue
    grep -qx enabled "$e" || continue
    # The magic line of a 32-bit x86 ELF registration starts with
    # 7f454c4601 (class 32) and has e_machine 03 00 at byte 18.
    if grep -Eq '^magic 7f454c4601.{26}0300' "$e"; then
      return 1
    fi
  done
  "$_route_probe_elf" --version >/dev/null 2>&1
}

route_pick() {
  case "${ADRELO_ROUTE:-}" in
    "")
      if _route_native_ok; then
        ADRELO_ROUTE=native
      else
        ADRELO_ROUTE=emulator
      fi
      ;;
    native)
      if ! _route_native_ok; then
        _route_log "ADRELO_ROUTE=native, but this kernel does not run 32-bit x86 ELF files" \
          "($_route_probe_elf); unset ADRELO_ROUTE to take the emulator route"
        return 1
      fi
      ;;
    emulator) ;;
    *)
      _route_log "ADRELO_ROUTE=$ADRELO_ROUTE: unknown route (native or emulator)"
      return 1
      ;;
  esac
  export ADRELO_ROUTE
}

# The patched qemu-i386: ADRELO_QEMU if set, else scripts/build-qemu's build
# (made once and cached). Its path is exported in ADRELO_QEMU, so that
# subshells and child scripts do not ask build-qemu again.
_route_qemu=
_route_find_qemu() {
  if [ -n "${ADRELO_QEMU:-}" ]; then
    _route_qemu=$ADRELO_QEMU
  elif [ -z "$_route_qemu" ]; then
    _route_qemu=$("$_route_dir/build-qemu" | tail -n 1) || return 1
  fi
  [ -x "$_route_qemu" ] || {
    _route_log "no qemu-i386 at '$_route_qemu'"
    return 1
  }
  export ADRELO_QEMU=$_route_qemu
}

route_exec() {
  [ -n "${ADRELO_ROUTE:-}" ] || route_pick || return 1
  case "$ADRELO_ROUTE" in
    native) "$@" ;;
    emulator)
      _route_find_qemu || return 1
      unshare --user --map-root-user --mount --propagation private -- \
        /bin/bash "$_route_dir/route.sh" --in-namespace "$_route_qemu" \
        "$(id -u)" "$(id -g)" "$@"
      ;;
    *)
      _route_log "ADRELO_ROUTE=$ADRELO_ROUTE: unknown route"
      return 1
      ;;
  esac
}

route_describe() {
  [ -n "${ADRELO_ROUTE:-}" ] || route_pick >/dev/null 2>&1 || true
  case "${ADRELO_ROUTE:-}" in
    native)
      echo "native: Debian 12 wine32, 32-bit ELF runs on this kernel ($(uname -r))"
      ;;
    emulator)
      local q=${ADRELO_QEMU:-$_route_qemu} version=unknown info
      if [ -z "$q" ]; then
        _route_find_qemu >/dev/null 2>&1 && q=$_route_qemu
      fi
      [ -n "$q" ] && [ -x "$q" ] &&
        version=$("$q" --version 2>/dev/null | sed -n '1s/.* version //p')
      info=$(dirname "${q:-.}")/BUILD-INFO
      if [ -f "$info" ]; then
        echo "emulator: qemu-i386 $version from Debian 13 source" \
          "($(sed -n 's/^source: qemu \([^ ]*\).*/\1/p' "$info"))" \
          "with $(sed -n 's/^patch: //p' "$info" | paste -sd, -), private binfmt_misc"
      else
        echo "emulator: qemu-i386 $version at $q (not built by build-qemu), private binfmt_misc"
      fi
      ;;
    *) echo "no route: ${ADRELO_ROUTE:-none picked}" ;;
  esac
}

# --- inside the new user and mount namespace ---------------------------------
_route_in_namespace() {
  local qemu=$1 uid=$2 gid=$3
  shift 3
  # A binfmt_misc mounted here is this user namespace's own instance (Linux
  # 6.7 and later): it starts empty, and program starts in this namespace
  # consult only it. It goes over /proc/sys/fs/binfmt_misc so that tools see
  # it, unless that is an automount point (systemd's), which is left alone.
  local b=/proc/sys/fs/binfmt_misc
  if grep -q " $b .* - autofs " /proc/self/mountinfo 2>/dev/null ||
    ! mount -t binfmt_misc binfmt_misc "$b" 2>/dev/null; then
    b=$(mktemp -d "${TMPDIR:-/tmp}/adrelo-binfmt.XXXXXX")
    if ! mount -t binfmt_misc binfmt_misc "$b"; then
      _route_log "cannot mount a private binfmt_misc instance (Linux 6.7 or later needed; this is $(uname -r))"
      return 1
    fi
  fi
  local e
  for e in "$b"/*; do
    case ${e##*/} in register | status) ;; *)
      _route_log "the binfmt_misc instance in $b is not private (it holds ${e##*/}); refusing to register"
      return 1
      ;;
    esac
  done
  # Flag F: the kernel opens qemu now, so it is found whatever the namespace
  # later sees at its path.
  if ! printf ':adrelo-i386:M::%s:%s:%s:F\n' "$_route_i386_magic" "$_route_i386_mask" "$qemu" \
    >"$b/register"; then
    _route_log "cannot register $qemu in $b"
    return 1
  fi
  export ADRELO_ROUTE=emulator
  if [ "$uid" = 0 ]; then
    exec "$@"
  fi
  # Not root: run the command as the caller's own user and group again (a
  # nested user namespace, which sees this one's binfmt_misc instance), so that
  # files, Wine's server directory and its ownership checks are as outside.
  exec unshare --user --map-user="$uid" --map-group="$gid" -- "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ] && [ "${1:-}" = --in-namespace ]; then
  shift
  _route_in_namespace "$@"
  exit
fi
