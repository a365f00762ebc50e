#!/usr/bin/env bash
# The demo: builds Klangbau and programs a virtual receiver with the example
# project of examples/demo, over a pseudo-terminal, in serial mode.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target klangbau virtual_receiver make_demo_sounds >/dev/null

work="$root/build/demo"
rm -rf "$work"
mkdir -p "$work"
cp examples/demo/filelist.txt examples/demo/cv.txt "$work/"
cd "$work"
"$root/build/default/tools/make_demo_sounds" .
# r: no reset (a virtual receiver has no reset lines to watch).
exec "$root/build/default/tools/virtual_receiver" --flash 8 -- \
  "$root/build/default/klangbau" "r{port}" filelist.txt cv.txt
