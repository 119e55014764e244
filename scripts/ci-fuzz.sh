#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz), replays every past
# finding and the seed corpus through them, then fuzzes each target for a
# bounded time. Exits non-zero on any finding; reproducers are written to
# build-fuzz/artifacts/<target>/.
#
# Usage: scripts/ci-fuzz.sh [seconds-per-target]
#   seconds default to $FUZZ_SECONDS, else 60; the build directory to
#   $FUZZ_BUILD_DIR, else build-fuzz in the checkout.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-${FUZZ_SECONDS:-60}}"
targets=(parse options lsp)

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ not found: install it with apt-get install clang"
    exit 1
fi

cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DROZEDOV_FUZZ=ON -DROZEDOV_BUILD_TESTS=OFF -DROZEDOV_WERROR=ON
cmake --build "$build" -j2 --target "${targets[@]/#/rozedov_fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

status=0
for target in "${targets[@]}"; do
    binary="$build/fuzz/rozedov_fuzz_$target"
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target/"
    mkdir -p "$corpus" "$artifacts"

    mapfile -t known < <(find "$root/fuzz/regressions/$target" "$root/fuzz/corpus/$target" \
                              -type f ! -name README.md 2>/dev/null | sort)
    echo "== $target: replaying ${#known[@]} known inputs"
    if [ "${#known[@]}" -gt 0 ] && ! "$binary" -artifact_prefix="$artifacts" "${known[@]}"; then
        echo "FUZZ FINDING: a known input fails rozedov_fuzz_$target"
        status=1
        continue
    fi

    echo "== $target: fuzzing for ${seconds}s"
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -dict="$root/fuzz/$target.dict" -artifact_prefix="$artifacts" \
            -print_final_stats=1 "$corpus" "$root/fuzz/corpus/$target"; then
        echo "FUZZ FINDING in rozedov_fuzz_$target: reproducer in $artifacts"
        echo "Save it under fuzz/regressions/$target/ so the regression test replays it."
        status=1
    fi
done

if [ "$status" -eq 0 ]; then
    echo "fuzz: no findings"
fi
exit "$status"
