#!/bin/sh
# A text made into a Docs file reads back as the same lines; bad input fails.
set -eu
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'Title line\nSecond line with UTF-8: caf\303\251 \342\200\224 ok\n\nLast\n' > "$work/in.txt"
"$bin/docsfromtext" "$work/out.mwd" "$work/in.txt"
"$bin/docsconv" text "$work/out.mwd" > "$work/back.txt"
cmp "$work/in.txt" "$work/back.txt"
printf 'bad \377 byte\n' > "$work/bad.txt"
if "$bin/docsfromtext" "$work/bad.mwd" "$work/bad.txt" 2>/dev/null; then
  echo "invalid UTF-8 was accepted"; exit 1
fi
if [ -e "$work/bad.mwd" ]; then
  echo "a refused text left a half-written document"; exit 1
fi
echo "docsfromtext: 1 passed, 0 failed"
