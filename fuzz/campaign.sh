#!/usr/bin/env bash
# Runs libFuzzer campaigns on the targets of a -DTAVIX_FUZZ=ON build and
# prints one summary line per target: executions, coverage, features, new
# corpus entries and findings.
#   fuzz/campaign.sh BUILD_DIR SECONDS [TARGET...]   (default: every target)
# Targets run side by side at low priority (so the per-input timeout is
# generous: a starved process must not count as a hang); new inputs go to
# BUILD_DIR/fuzz/found/NAME, findings (crash-*, leak-*, timeout-*, oom-*) to
# BUILD_DIR/fuzz/artifacts/NAME, logs to BUILD_DIR/fuzz/logs/NAME.log.
set -u
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
here="$(cd "$(dirname "$0")" && pwd)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for fuzzer in "$build"/fuzz/*_fuzzer; do targets+=("$(basename "$fuzzer" _fuzzer)"); done
fi
mkdir -p "$build/fuzz/logs"
for name in "${targets[@]}"; do
  found="$build/fuzz/found/$name"
  artifacts="$build/fuzz/artifacts/$name/"
  mkdir -p "$found" "$artifacts"
  nice -n 19 "$build/fuzz/${name}_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=120 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$found" "$here/corpus/$name" \
    >"$build/fuzz/logs/$name.log" 2>&1 &
done
wait
printf '%-18s %12s %8s %8s %8s %s\n' target executions cov ft corpus findings
for name in "${targets[@]}"; do
  log="$build/fuzz/logs/$name.log"
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$')
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(echo "$last" | grep -o 'cov: [0-9]*' | grep -o '[0-9]*')
  ft=$(echo "$last" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*')
  corpus=$(ls "$build/fuzz/found/$name" | wc -l)
  findings=$(ls "$build/fuzz/artifacts/$name" | wc -l)
  printf '%-18s %12s %8s %8s %8s %s\n' "$name" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$corpus" "$findings"
done
