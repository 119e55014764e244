#!/usr/bin/env bash
# Times rozedov against GCC's preprocessor on generated Vorn programs.
#
# For every size it generates a program, then runs, RUNS times each:
#   cc1 alone      - the preprocessor with the command line rozedov uses
#   rozedov        - the whole assembly
#   rozedov -l     - the whole assembly with the listing
# and prints the median wall time, the median peak resident memory and the
# ratio of rozedov's time to cc1's. It prints figures only; it asserts nothing.
#
# Settings (environment variables):
#   SIZES      program sizes in lines        (default "10000 100000 1000000")
#   RUNS       runs per measurement          (default 3)
#   BUILD_DIR  Release build directory       (default <repo>/build-bench)
#   ROZEDOV    use this rozedov binary and skip the build
#   CC1        use this cc1 (default: the one linked beside rozedov)
#   WORK_DIR   where programs and outputs go (default: a fresh temporary dir)
#   KEEP       1 keeps WORK_DIR afterwards   (default 0)
#   TIMEOUT    seconds per single run, 0 = no limit (default 0)
#   SEED       generator seed                (default 1)
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_dir=$(cd "$script_dir/.." && pwd)

SIZES=${SIZES:-"10000 100000 1000000"}
RUNS=${RUNS:-3}
BUILD_DIR=${BUILD_DIR:-"$repo_dir/build-bench"}
KEEP=${KEEP:-0}
TIMEOUT=${TIMEOUT:-0}
SEED=${SEED:-1}
TIME_BIN=/usr/bin/time

die() {
    echo "run.sh: $*"
    exit 2
}

[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number, got '$RUNS'"
[[ "$TIMEOUT" =~ ^[0-9]+$ ]] || die "TIMEOUT must be a number of seconds, got '$TIMEOUT'"

build_rozedov() {
    echo "Building rozedov (Release) in $BUILD_DIR ..."
    mkdir -p "$BUILD_DIR"
    local log="$BUILD_DIR/bench-build.log"
    { cmake -S "$repo_dir" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DROZEDOV_BUILD_TESTS=OFF \
        && cmake --build "$BUILD_DIR" -j2 --target rozedov; } >"$log" 2>&1 \
        || die "building rozedov failed, see $log"
    ROZEDOV="$BUILD_DIR/rozedov"
}

if [[ -z "${ROZEDOV:-}" ]]; then
    build_rozedov
fi
ROZEDOV=$(readlink -f "$ROZEDOV")
[[ -x "$ROZEDOV" ]] || die "rozedov binary '$ROZEDOV' not found"

if [[ -z "${CC1:-}" ]]; then
    if [[ -e "$(dirname "$ROZEDOV")/cc1" ]]; then
        CC1=$(readlink -f "$(dirname "$ROZEDOV")/cc1")
    else
        CC1=$(gcc -print-prog-name=cc1)
    fi
fi
[[ -x "$CC1" ]] || die "cc1 '$CC1' not found"

have_time=1
if [[ ! -x "$TIME_BIN" ]]; then
    have_time=0
    echo "note: $TIME_BIN is missing (install the package 'time'); peak memory is not measured"
fi

if [[ -z "${WORK_DIR:-}" ]]; then
    WORK_DIR=$(mktemp -d "${TMPDIR:-/tmp}/rozedov-bench-XXXXXX")
    [[ "$KEEP" == 1 ]] || trap 'rm -rf "$WORK_DIR"' EXIT
fi
mkdir -p "$WORK_DIR"
cd "$WORK_DIR"

# Median of the numbers given as arguments.
median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 }
        END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Runs the command once; sets run_wall (seconds), run_rss (kB or "n/a") and
# run_status. Its output goes to last_output.log.
run_once() {
    local prefix=()
    ((TIMEOUT > 0)) && prefix=(timeout "$TIMEOUT")
    ((have_time)) && prefix+=("$TIME_BIN" -v -o time.log)
    local start=$EPOCHREALTIME
    run_status=0
    "${prefix[@]}" "$@" >last_output.log 2>&1 || run_status=$?
    local end=$EPOCHREALTIME
    run_wall=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')
    run_rss=n/a
    if ((have_time)) && [[ -s time.log ]]; then
        run_rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' time.log)
        rm -f time.log
    fi
}

# Runs the command RUNS times; sets med_wall, med_rss and med_status (the
# status of the last run) and keeps the first failing output in fail_line.
measure() {
    local walls=() rsses=()
    fail_line=
    for ((i = 0; i < RUNS; ++i)); do
        run_once "$@"
        walls+=("$run_wall")
        [[ "$run_rss" != n/a ]] && rsses+=("$run_rss")
        if ((run_status != 0)) && [[ -z "$fail_line" ]]; then
            fail_line=$(grep -m1 -v '^[[:space:]]*$' last_output.log || true)
        fi
    done
    med_wall=$(median "${walls[@]}")
    med_rss=n/a
    ((${#rsses[@]})) && med_rss=$(awk -v k="$(median "${rsses[@]}")" 'BEGIN { printf "%.1f", k / 1024 }')
    med_status=$run_status
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'
}

# a - b, or n/a when either is not a number.
difference() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/) printf "%.4f", a - b; else print "n/a" }'
}

# Bytes per source line of a size in MiB.
per_line() {
    awk -v m="$1" -v n="$2" 'BEGIN { if (m ~ /^[0-9.]+$/ && n > 0) printf "%.0f", m * 1048576 / n; else print "n/a" }'
}

sizes_done=()
walls=()
own_walls=()
rsses=()

print_row() {
    printf '  %-22s %10s %14s %8s\n' "$@"
}

echo "rozedov: $ROZEDOV"
echo "cc1:     $CC1"
echo "runs:    $RUNS (medians), work dir: $WORK_DIR"

for size in $SIZES; do
    [[ "$size" =~ ^[0-9]+$ ]] || die "size '$size' is not a number"
    source_file="prog_$size.vs"
    python3 "$script_dir/gen_program.py" "$size" --seed "$SEED" -o "$source_file"
    bytes=$(stat -c %s "$source_file")

    echo
    echo "== $size lines ($source_file, $((bytes / 1024)) KiB) =="
    print_row "step" "wall [s]" "peak RSS [MiB]" "status"

    measure "$CC1" -E -quiet "$source_file" -oa.ppf -lang-asm "-D__HASH__=#" -D__VANTIC_TC__
    cc1_wall=$med_wall
    print_row "cc1 -E (preprocessor)" "$med_wall" "$med_rss" "$med_status"
    [[ -n "$fail_line" ]] && echo "    first output line: $fail_line"

    measure "$ROZEDOV" "$source_file"
    plain_wall=$med_wall
    plain_rss=$med_rss
    print_row "rozedov" "$med_wall" "$med_rss" "$med_status"
    [[ -n "$fail_line" ]] && echo "    first output line: $fail_line"

    measure "$ROZEDOV" -l "$source_file"
    listing_wall=$med_wall
    listing_rss=$med_rss
    print_row "rozedov -l" "$med_wall" "$med_rss" "$med_status"
    [[ -n "$fail_line" ]] && echo "    first output line: $fail_line"

    echo "  ratio rozedov/cc1:      $(ratio "$plain_wall" "$cc1_wall")"
    echo "  ratio rozedov -l/cc1:   $(ratio "$listing_wall" "$cc1_wall")"
    own_wall=$(difference "$plain_wall" "$cc1_wall")
    echo "  rozedov after cc1:      $own_wall s"
    echo "  -l over rozedov:        $(ratio "$listing_wall" "$plain_wall")"
    echo "  peak RSS per line:      $(per_line "$plain_rss" "$size") B, with -l $(per_line "$listing_rss" "$size") B"
    sizes_done+=("$size")
    walls+=("$plain_wall")
    own_walls+=("$own_wall")
    rsses+=("$plain_rss")
done

# How each measure grows from one size to the next.
if ((${#sizes_done[@]} > 1)); then
    echo
    echo "== growth from one size to the next =="
    for ((i = 1; i < ${#sizes_done[@]}; ++i)); do
        echo "  ${sizes_done[i - 1]} -> ${sizes_done[i]} lines: rozedov x$(ratio "${walls[i]}" "${walls[i - 1]}")," \
            "after cc1 x$(ratio "${own_walls[i]}" "${own_walls[i - 1]}"), peak RSS x$(ratio "${rsses[i]}" "${rsses[i - 1]}")"
    done
fi
