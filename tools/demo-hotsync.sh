#!/usr/bin/env bash
# demo-hotsync.sh BIN_DIR HOME_DIR
# In a fresh machine folder HOME_DIR (removed first): registers the plug-in and
# the conduit as an installer would, creates a Palm user with a handheld and a
# memory card, lists sample Word documents (written by our own converters) for
# handheld RAM and the card, runs HotSyncs, changes a document on the handheld
# and shows it coming back to the desktop. One line per file and step.
set -euo pipefail
bin=$1
export PAPYRINE_HOME=$2
rm -rf "$PAPYRINE_HOME"
mkdir -p "$PAPYRINE_HOME"
user="Demo User"
hh=demo
docs=$PAPYRINE_HOME/Documents
work=$PAPYRINE_HOME/work
mkdir -p "$docs" "$work"

step() { printf '\n== %s\n' "$*"; }

step "Installing the plug-in and the conduit"
"$bin/hotsync" register "$bin/libQVDocsPlugin.so"
"$bin/hotsync" conduits

step "Creating the Palm user \"$user\" and a handheld with a memory card"
"$bin/hotsync" user add "$user"
"$bin/palmdevice" create "$hh" --user "$user" --slots 1
"$bin/palmdevice" card-insert "$hh" 1 --label "Demo Card"

step "Writing sample Word documents"
make_doc() {  # name, lines...
    local name=$1; shift
    printf '%s\n' "$@" > "$work/$name.txt"
    "$bin/docsfromtext" "$work/$name.mwd" "$work/$name.txt"
    "$bin/docsconv" docs2word "$work/$name.mwd" "$docs/$name.doc"
    echo "  $docs/$name.doc"
}
make_doc "Meeting Notes" "Meeting notes" "The team met on Monday." "Next steps: ship the release."
make_doc "Shopping List" "Shopping list" "Bread" "Milk" "Apples"
make_doc "Travel Plan" "Travel plan" "Fly out on the 3rd, back on the 10th."

step "Listing two documents for handheld RAM"
"$bin/papyrine" add --user "$user" --handheld-format "Tarvoc Docs" "$docs/Meeting Notes.doc" "$docs/Shopping List.doc"
"$bin/papyrine" list --user "$user"

step "First HotSync: the documents go to the handheld, the card becomes known"
"$bin/hotsync" sync "$hh"
"$bin/papyrine" list --user "$user"

step "Listing a document for the memory card"
"$bin/papyrine" add --user "$user" --handheld-format "Tarvoc Docs" --card "Demo Card" "$docs/Travel Plan.doc"

step "Second HotSync"
"$bin/hotsync" sync "$hh"

step "What the handheld holds now"
"$bin/palmdevice" list "$hh"
"$bin/palmdevice" docs "$hh" ram
"$bin/palmdevice" card-ls "$hh" 1 /Documents
"$bin/palmdevice" docs "$hh" "card:1:/Documents"
"$bin/papyrine" list --user "$user"

step "Changing \"Shopping List\" on the handheld"
"$bin/palmdevice" doc-get "$hh" ram "Shopping List.mwd" "$work/handheld.mwd"
"$bin/docsconv" text "$work/handheld.mwd" > "$work/handheld.txt"
echo "Coffee" >> "$work/handheld.txt"
"$bin/docsfromtext" "$work/edited.mwd" "$work/handheld.txt"
"$bin/palmdevice" doc-edit "$hh" ram "Shopping List.mwd" "$work/edited.mwd"

step "Third HotSync: the change comes back to the desktop"
"$bin/hotsync" sync "$hh"
"$bin/papyrine" list --user "$user"

step "The desktop document now reads"
"$bin/docsconv" word2docs "$docs/Shopping List.doc" "$work/back.mwd"
"$bin/docsconv" text "$work/back.mwd"
