#!/bin/sh
# Link launcher of our Windows executables: links the program, makes its symbol block from
# the DWARF of that link, links again with the block as resource "KIV" "EXCEPT", checks that
# the second link holds the same code at the same addresses, and keeps a copy of the result
# (with its DWARF) in the twin folder.
#
#   link_with_symbols.sh TOOL RC_COMPILER TWIN_DIR -- LINK COMMAND...
#
# The work files (block, resource script and object, first link) lie in OUTPUT.symbols/.
set -eu

tool=$1
rc_compiler=$2
twin_dir=$3
shift 3
[ "${1:-}" = "--" ] && shift

out=
previous=
for arg in "$@"; do
  [ "$previous" = "-o" ] && out=$arg
  previous=$arg
done
if [ -z "$out" ]; then
  echo "link_with_symbols: the link command names no output (-o)" >&2
  exit 1
fi

work=$out.symbols
mkdir -p "$work" "$twin_dir"
name=$(basename "$out")

"$@"
mv -f "$out" "$work/first-link.exe"
"$tool" --block "$work/$name.kiv" --rc "$work/$name.rc" "$work/first-link.exe"
"$rc_compiler" -i "$work/$name.rc" -o "$work/$name.res.o"
"$@" "$work/$name.res.o"
if ! "$tool" --same-code "$work/first-link.exe" "$out"; then
  echo "link_with_symbols: embedding the symbol block changed the code of $out" >&2
  rm -f "$out"
  exit 1
fi
rm -f "$work/first-link.exe"
cp -f "$out" "$twin_dir/$name"
