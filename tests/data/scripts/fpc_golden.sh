#!/bin/sh
# Writes NAME.out for each NAME.pas given, from the program's output under Free Pascal.
# Print (the test host's one-argument output routine) becomes WriteLn, and SysUtils is
# added so that run-time faults become catchable exceptions, as in the engine. Run by
# hand after changing a script; the tests read only the .out files.
set -e
dir=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
for name in "$@"; do
  sed "s/^{\$mode delphi}$/{\$mode delphi}{\$macro on}{\$define Print:=WriteLn}\nuses SysUtils;/" "$dir/$name.pas" > "$work/$name.pas"
  (cd "$work" && fpc -Mdelphi -v0 "$name.pas" > /dev/null)
  "$work/$name" > "$dir/$name.out"
done
rm -rf "$work"
