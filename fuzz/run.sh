#!/usr/bin/env bash
# Runs each libFuzzer target for a given time, one after the other, and prints its figures.
#
#   fuzz/run.sh SECONDS [TARGET...]      targets: tokenizer session program_file key_decoder (default: all)
#
# Needs the fuzz build: cmake --preset fuzz && cmake --build --preset fuzz
# The corpus grows in build/fuzz/corpus/TARGET (started from the seeds in fuzz/corpus/TARGET), each run's
# log is build/fuzz/TARGET.log and a crashing input is written to build/fuzz/artifacts/TARGET/.
# Exits 1 when any target crashed or broke an invariant.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(tokenizer session program_file key_decoder)
build=${TAVIK_FUZZ_BUILD:-$root/build/fuzz}

status=0
for target in "${targets[@]}"; do
    binary=$build/fuzz/${target}_fuzz
    [ -x "$binary" ] || { echo "$target: no fuzzer at $binary (build the fuzz preset)"; status=1; continue; }
    corpus=$build/corpus/$target
    artifacts=$build/artifacts/$target/
    mkdir -p "$corpus" "$artifacts"
    cp -n "$root/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
    options=(-max_total_time="$seconds" -timeout=60 -print_final_stats=1 -artifact_prefix="$artifacts")
    [ -f "$root/fuzz/$target.dict" ] && options+=(-dict="$root/fuzz/$target.dict")
    case $target in
    # Inputs are shaped up to 10 MB files inside the target; the input itself stays small.
    program_file) options+=(-max_len=8192 -rss_limit_mb=4096) ;;
    session) options+=(-max_len=4096) ;;
    esac
    log=$build/$target.log
    started=$SECONDS
    if "$binary" "${options[@]}" "$corpus" >"$log" 2>&1; then
        result=clean
    else
        result="FAILED (see $log)"
        status=1
    fi
    executions=$(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    rate=$(grep -o 'average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    coverage=$(grep -o 'cov: [0-9]*' <<<"$last" | grep -o '[0-9]*' || echo '?')
    features=$(grep -o 'ft: [0-9]*' <<<"$last" | grep -o '[0-9]*' || echo '?')
    inputs=$(find "$corpus" -type f | wc -l)
    echo "$target: $result; $((SECONDS - started)) s, $executions executions ($rate/s), $coverage edges," \
        "$features features, $inputs corpus inputs"
done
exit $status
