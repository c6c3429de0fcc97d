#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, starting from its seed corpus.
# New inputs and crash artifacts go into the build directory, never into the
# checked-in seeds.
#   fuzz/run.sh <build-dir> <seconds-per-target> [target...]
set -euo pipefail

build=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(archive resource ini media_control band_path)
fi
seeds=$(cd "$(dirname "$0")" && pwd)/corpus

status=0
for target in "${targets[@]}"; do
  binary=$build/fuzz/fuzz_$target
  work=$build/fuzz-work/$target
  mkdir -p "$work/corpus" "$work/artifacts"
  echo "== fuzz_$target for ${seconds}s"
  if ! "$binary" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
      -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
      "$work/corpus" "$seeds/$target" >"$work/log" 2>&1; then
    status=1
    echo "fuzz_$target FAILED; see $work/log and $work/artifacts/"
    tail -n 40 "$work/log"
  else
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log" || true
  fi
done
exit $status
