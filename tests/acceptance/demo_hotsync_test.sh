#!/usr/bin/env bash
# Runs the demonstration HotSync in a temporary machine folder and checks what
# a person following it would check.
set -uo pipefail
bin=$1
demo=$2
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
out=$home.log
if ! bash "$demo" "$bin" "$home/machine" > "$out" 2>&1; then
  cat "$out"; echo "the demonstration run failed"; rm -f "$out"; exit 1
fi
failures=0
expect() {  # description, command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
export PAPYRINE_HOME=$home/machine
list=$("$bin/papyrine" list --user "Demo User")
expect "three entries, all synchronized" \
  test "$(printf '%s\n' "$list" | grep -c $'\tSynchronized\t')" -eq 3
ram=$("$bin/palmdevice" list demo)
expect "both RAM documents are Docs databases on the handheld" \
  test "$(printf '%s\n' "$ram" | grep -c 'QVWD  QVMW')" -eq 2
expect "the card holds the card document" \
  bash -c "'$bin/palmdevice' card-ls demo 1 /Documents | grep -q 'Travel Plan.mwd'"
"$bin/docsconv" word2docs "$home/machine/Documents/Shopping List.doc" "$home/back.mwd"
back=$("$bin/docsconv" text "$home/back.mwd")
expect "the handheld change came back to the desktop document" \
  test "$back" = "$(printf 'Shopping list\nBread\nMilk\nApples\nCoffee')"
"$bin/docsconv" word2docs "$home/machine/Documents/Meeting Notes.doc" "$home/meeting.mwd"
expect "an unchanged document keeps its text" \
  test "$("$bin/docsconv" text "$home/meeting.mwd")" = "$(printf 'Meeting notes\nThe team met on Monday.\nNext steps: ship the release.')"
if [ $failures -ne 0 ]; then cat "$out"; fi
rm -f "$out"
echo "acceptance: $((5 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
