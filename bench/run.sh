#!/usr/bin/env bash
# Times rozedov against GCC's preprocessor on generated Vorn programs.
#
# For every size it generates a program, then runs RUNS rounds (after one
# unrecorded warm-up round) of:
#   cc1 alone      - the preprocessor with the command line rozedov uses
#   rozedov        - the whole assembly
#   rozedov -l     - the whole assembly with the listing
# and prints each step's median wall time and peak resident memory, and the
# medians of each round's ratios (rozedov to cc1, -l to plain) and of its
# time after cc1. It prints figures only; it asserts nothing.
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

# Median wall, median peak RSS (MiB) and last status of the runs of one
# step, from the arrays the rounds filled.
summarize() {
    local -n step_walls=$1 step_rsses=$2
    med_wall=$(median "${step_walls[@]}")
    med_rss=n/a
    ((${#step_rsses[@]})) && med_rss=$(awk -v k="$(median "${step_rsses[@]}")" 'BEGIN { printf "%.1f", k / 1024 }')
}

# Runs one step of a round and records its figures in the step's arrays.
record() {
    local -n step_walls=$1 step_rsses=$2 step_fail=$3
    shift 3
    run_once "$@"
    step_walls+=("$run_wall")
    [[ "$run_rss" != n/a ]] && step_rsses+=("$run_rss")
    if ((run_status != 0)) && [[ -z "$step_fail" ]]; then
        step_fail=$(grep -m1 -v '^[[:space:]]*$' last_output.log || true)
    fi
    last_status=$run_status
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
echo "rounds:  $RUNS after a warm-up (medians), work dir: $WORK_DIR"

for size in $SIZES; do
    [[ "$size" =~ ^[0-9]+$ ]] || die "size '$size' is not a number"
    source_file="prog_$size.vs"
    python3 "$script_dir/gen_program.py" "$size" --seed "$SEED" -o "$source_file"
    bytes=$(stat -c %s "$source_file")

    echo
    echo "== $size lines ($source_file, $((bytes / 1024)) KiB) =="
    print_row "step" "wall [s]" "peak RSS [MiB]" "status"

    # The three steps run in turn, round after round, so that each round's
    # ratios compare runs made moments apart: this machine's speed drifts
    # by a fifth within minutes. One unrecorded round warms the caches.
    cc1_cmd=("$CC1" -E -quiet "$source_file" -oa.ppf -lang-asm "-D__HASH__=#" -D__VANTIC_TC__)
    run_once "${cc1_cmd[@]}"
    run_once "$ROZEDOV" "$source_file"
    run_once "$ROZEDOV" -l "$source_file"
    cc1_w=() cc1_r=() cc1_f='' plain_w=() plain_r=() plain_f='' list_w=() list_r=() list_f=''
    own_w=() plain_ratio=() list_ratio=() list_over=()
    for ((round = 0; round < RUNS; ++round)); do
        record cc1_w cc1_r cc1_f "${cc1_cmd[@]}"
        cc1_status=$last_status
        record plain_w plain_r plain_f "$ROZEDOV" "$source_file"
        plain_status=$last_status
        record list_w list_r list_f "$ROZEDOV" -l "$source_file"
        list_status=$last_status
        own_w+=("$(difference "${plain_w[round]}" "${cc1_w[round]}")")
        plain_ratio+=("$(ratio "${plain_w[round]}" "${cc1_w[round]}")")
        list_ratio+=("$(ratio "${list_w[round]}" "${cc1_w[round]}")")
        list_over+=("$(ratio "${list_w[round]}" "${plain_w[round]}")")
    done

    summarize cc1_w cc1_r
    cc1_wall=$med_wall
    print_row "cc1 -E (preprocessor)" "$med_wall" "$med_rss" "$cc1_status"
    [[ -n "$cc1_f" ]] && echo "    first output line: $cc1_f"
    summarize plain_w plain_r
    plain_wall=$med_wall
    plain_rss=$med_rss
    print_row "rozedov" "$med_wall" "$med_rss" "$plain_status"
    [[ -n "$plain_f" ]] && echo "    first output line: $plain_f"
    summarize list_w list_r
    listing_rss=$med_rss
    print_row "rozedov -l" "$med_wall" "$med_rss" "$list_status"
    [[ -n "$list_f" ]] && echo "    first output line: $list_f"

    own_wall=$(median "${own_w[@]}")
    echo "  medians over the rounds of each round's figure:"
    echo "  ratio rozedov/cc1:      $(median "${plain_ratio[@]}")"
    echo "  ratio rozedov -l/cc1:   $(median "${list_ratio[@]}")"
    echo "  rozedov after cc1:      $own_wall s"
    echo "  -l over rozedov:        $(median "${list_over[@]}")"
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
