#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (libclang-rt-14-dev) and fuzzes each for a bounded
# time, starting from its corpus kept in tests/fuzz/corpus/<target>/ and from the inputs that once failed
# (tests/spreadsheet_reader/data/malformed/). Leak checks stay on. Fails on any crash, leak, timeout or
# undefined behaviour; the input that did it is left in build-fuzz/findings/.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET]    (default 60; FUZZ_BUILD_DIR overrides build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${FUZZ_BUILD_DIR:-build-fuzz}"

bash scripts/install-deps.sh fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DQUILLBERRY_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(fuzz_workbook_stream fuzz_workbook_file fuzz_workbook_roundtrip fuzz_shared_formula fuzz_workbook_formulas
         fuzz_formula_tokens)
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"

malformed=tests/spreadsheet_reader/data/malformed
findings="$build/findings"
mkdir -p "$findings"
for target in "${targets[@]}"; do
    binary="$build/tests/fuzz/$target"
    corpus="tests/fuzz/corpus/${target#fuzz_}"
    # New inputs go to a scratch folder: the corpus in the repository stays as it is.
    scratch="$(mktemp -d)"
    trap 'rm -rf "$scratch"' EXIT

    # The inputs that once failed come first, each once.
    case "$target" in
        fuzz_workbook_file) regressions=("$malformed"/file-*) ;;
        fuzz_workbook_stream | fuzz_workbook_roundtrip | fuzz_workbook_formulas) regressions=("$malformed"/stream-*) ;;
        *) regressions=() ;;
    esac
    existing=()
    for input in "${regressions[@]}"; do
        [ -e "$input" ] && existing+=("$input")
    done
    if ((${#existing[@]})); then
        "$binary" -artifact_prefix="$findings/$target-" "${existing[@]}"
    fi

    echo "== $target: $seconds s from $corpus"
    log="$findings/$target.log"
    status=0
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -artifact_prefix="$findings/$target-" -print_final_stats=1 "$scratch" "$corpus" >"$log" 2>&1 || status=$?
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)" "$log" || true
    rm -rf "$scratch"
    trap - EXIT
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$log" >&2
        echo "fuzz.sh: $target failed (exit $status); the input is in $findings/" >&2
        exit "$status"
    fi
done
echo "fuzz.sh: every target ran $seconds s without a finding"
