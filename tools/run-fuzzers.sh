#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a number of seconds, each on a
# temporary copy of its seed corpus (the corpus in the repository never grows).
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in "$build"/fuzz/*_fuzzer; do
  [ -x "$target" ] || continue
  name=$(basename "$target" _fuzzer)
  work=$(mktemp -d)
  mkdir -p "$work/corpus" "$work/artifacts"
  if [ -d "$root/fuzz/corpus/$name" ]; then
    cp -r "$root/fuzz/corpus/$name/." "$work/corpus/"
  fi
  # The sample game's configuration seeds the configuration reader.
  if [ "$name" = config ]; then
    cp "$root/examples/sample/game.scm" "$work/corpus/sample.scm"
  fi
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" "$work/corpus" -max_total_time="$seconds" -artifact_prefix="$work/artifacts/" \
      -print_final_stats=1 > "$work/log" 2>&1; then
    tail -n 60 "$work/log"
    echo "fuzz: $name FAILED (artifacts in $work/artifacts)"
    status=1
    continue
  fi
  tail -n 3 "$work/log"
  rm -rf "$work"
done
exit $status
