#!/usr/bin/env bash
# run-with-screenshots.sh FOLDER SHOTS NAME... -- COMMAND...
# Runs COMMAND on the X display in $DISPLAY and takes the screenshots it asks
# for, in the order named: once COMMAND creates FOLDER/NAME.ready, the whole
# screen goes to SHOTS/NAME.png (ImageMagick's import) and FOLDER/NAME.taken
# tells COMMAND to go on. Exits with COMMAND's status.
set -uo pipefail
folder=$1 shots=$2
shift 2
names=()
while [ "$1" != "--" ]; do names+=("$1"); shift; done
shift

"$@" &
pid=$!
for name in "${names[@]}"; do
  # COMMAND has its own time limits; this loop ends with it at the latest.
  while [ ! -e "$folder/$name.ready" ] && kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
  [ -e "$folder/$name.ready" ] || break
  import -window root "$shots/$name.png" && touch "$folder/$name.taken"
done
wait "$pid"
