#!/usr/bin/env bash
# Times rozedov against GCC's preprocessor on generated Vorn programs.
#
# Usage: run.sh [small] [sizes] [batch] [callgrind] [lsp] [all]
#                                          (default: small sizes batch)
#
# small: for every size of SMALL_SIZES it generates a program, then runs
#   ROUNDS rounds (after one unrecorded warm-up round) of:
#     rozedov        - rozedov prog.vs
#     cc1 alone      - the preprocessor with the command line rozedov uses
#     floor          - bench-floor (floor.c): starts that cc1, waits for it
#                      and reads a.ppf whole; the least any such tool pays
#   one run each, all in the same directory, round r starting with the
#   command r mod 3 of that list and going on in turn. Every run is timed by
#   bench-timer (timer.c). It prints each command's median wall time and the
#   medians over the rounds of rozedov minus floor, rozedov minus cc1 and
#   floor minus cc1.
# sizes: for every size of SIZES it generates a program, then runs RUNS
#   rounds (after one unrecorded warm-up round) of:
#     cc1 alone      - the preprocessor with the command line rozedov uses
#     rozedov        - the whole assembly
#     rozedov -l     - the whole assembly with the listing
#   and prints each step's median wall time and peak resident memory, the
#   medians of each round's ratios (rozedov to cc1, -l to plain) and of its
#   time after cc1 (rozedov minus cc1, in ms), and how time and memory grow
#   from one size to the next.
# batch: generates BATCH_PROGRAMS programs of BATCH_LINES lines into one
#   directory and times "make -j2" over them, once with targets that run
#   cc1 alone and once with targets that run rozedov (all in that directory,
#   so they take turns on a.ppf). Then it checks every output of every
#   rozedov batch run against the same program assembled alone.
# callgrind: counts the instructions of the rozedov process (not of the cc1
#   it starts) on a program of each size of CALLGRIND_SIZES, per source line,
#   and how the count grows from one size to the next.
# lsp: the editor server (rozedov --lsp), driven by lsp_client.py as an
#   editor drives it, on programs of LSP_SIZES lines: LSP_EDITS rounds of an
#   edit timed from didChange to the publishDiagnostics of that version, in
#   turns with cc1 alone on the same text (cc1 -E -quiet - ... < text), run
#   from the same client; on the smallest size, LSP_QUERIES rounds of hover,
#   inlayHint, definition and references, with the number of cc1 runs they
#   caused (counted by a cc1 that counts its runs), and the server's VmRSS
#   and VmHWM after 10 and after LSP_MEMORY_EDITS edits.
#
# Goals, printed next to the measured figures:
#   small      rozedov at most 2 ms above the floor (median of the rounds)
#   batch      make -j2 with rozedov at most 2.0 x the cc1-only make, and
#              every output identical to the program assembled alone
#   sizes      at 1,000,000 lines peak memory below 1 KiB per source line;
#              from 100,000 to 1,000,000 lines peak memory grows at most x11
#   callgrind  from 100,000 to 1,000,000 lines instructions grow at most x11
#   lsp        edit to diagnostics at most 5 ms above cc1 at 500 lines, at
#              most 30 ms above it at 5,000 lines; hover, inlayHint,
#              definition and references at most 2 ms each, and no cc1 run
#              for them; VmRSS after LSP_MEMORY_EDITS edits at most 512 KiB
#              above the figure after 10 edits (flat)
# The time ratio to cc1 at 1,000,000 lines is reported, not a goal.
#
# Timings are only reported, never judged ("met" or "not met" beside the lsp
# figures is all). The exit status is 1 when a batch run wrote an output that
# differs from the program assembled alone, or the editor server stopped,
# answered with an error or published diagnostics that do not fit the edit;
# 2 on a setup error.
#
# Settings (environment variables):
#   SMALL_SIZES     small program sizes        (default "100 500")
#   ROUNDS          rounds per small size      (default 45, at least 45)
#   SIZES           program sizes in lines     (default "100 10000 100000 1000000")
#   RUNS            rounds per sizes/batch     (default 5)
#   BATCH_PROGRAMS  programs in the batch      (default 200)
#   BATCH_LINES     lines per batch program    (default 200)
#   CALLGRIND_SIZES program sizes for callgrind (default "100000 1000000")
#   LSP_SIZES       editor server program sizes (default "500 5000")
#   LSP_EDITS       timed edits per lsp size   (default 20)
#   LSP_QUERIES     rounds of each lsp request (default 30)
#   LSP_MEMORY_EDITS edits before the last memory figure (default 1000)
#   BUILD_DIR       Release build directory    (default <repo>/build-bench);
#                   bench-floor and bench-timer are built there too, or in
#                   WORK_DIR when ROZEDOV is given and BUILD_DIR is not
#   ROZEDOV         use this rozedov binary and skip the build
#   CC1             use this cc1 (default: the one linked beside rozedov)
#   WORK_DIR        where programs and outputs go (default: a fresh temporary dir)
#   KEEP            1 keeps WORK_DIR afterwards (default 0)
#   TIMEOUT         seconds per single run, 0 = no limit (default 0)
#   SEED            generator seed             (default 1)
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_dir=$(cd "$script_dir/.." && pwd)

SMALL_SIZES=${SMALL_SIZES:-"100 500"}
ROUNDS=${ROUNDS:-45}
SIZES=${SIZES:-"100 10000 100000 1000000"}
RUNS=${RUNS:-5}
BATCH_PROGRAMS=${BATCH_PROGRAMS:-200}
BATCH_LINES=${BATCH_LINES:-200}
CALLGRIND_SIZES=${CALLGRIND_SIZES:-"100000 1000000"}
LSP_SIZES=${LSP_SIZES:-"500 5000"}
LSP_EDITS=${LSP_EDITS:-20}
LSP_QUERIES=${LSP_QUERIES:-30}
LSP_MEMORY_EDITS=${LSP_MEMORY_EDITS:-1000}
helper_dir=${BUILD_DIR:-}
BUILD_DIR=${BUILD_DIR:-"$repo_dir/build-bench"}
KEEP=${KEEP:-0}
TIMEOUT=${TIMEOUT:-0}
SEED=${SEED:-1}
TIME_BIN=/usr/bin/time

die() {
    echo "run.sh: $*"
    exit 2
}

do_small=0 do_sizes=0 do_batch=0 do_callgrind=0 do_lsp=0
(($# > 0)) || set -- small sizes batch
for part in "$@"; do
    case $part in
        small) do_small=1 ;;
        sizes) do_sizes=1 ;;
        batch) do_batch=1 ;;
        callgrind) do_callgrind=1 ;;
        lsp) do_lsp=1 ;;
        all) do_small=1 do_sizes=1 do_batch=1 do_callgrind=1 do_lsp=1 ;;
        -h | --help)
            sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}"
            exit 0
            ;;
        *) die "unknown part '$part' (small, sizes, batch, callgrind, lsp or all)" ;;
    esac
done

[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number, got '$RUNS'"
if [[ ! "$ROUNDS" =~ ^[0-9]+$ ]] || ((10#$ROUNDS < 45)); then
    die "ROUNDS must be a number of at least 45, got '$ROUNDS'"
fi
[[ "$TIMEOUT" =~ ^[0-9]+$ ]] || die "TIMEOUT must be a number of seconds, got '$TIMEOUT'"
[[ "$BATCH_PROGRAMS" =~ ^[1-9][0-9]*$ ]] || die "BATCH_PROGRAMS must be a positive number, got '$BATCH_PROGRAMS'"
[[ "$BATCH_LINES" =~ ^[0-9]+$ ]] || die "BATCH_LINES must be a number, got '$BATCH_LINES'"
for size in $SMALL_SIZES $SIZES $CALLGRIND_SIZES $LSP_SIZES; do
    [[ "$size" =~ ^[0-9]+$ ]] || die "size '$size' is not a number"
done
if ((do_lsp)); then
    [[ "$LSP_EDITS" =~ ^[0-9]+$ ]] && ((10#$LSP_EDITS >= 2)) || die "LSP_EDITS must be a number of at least 2, got '$LSP_EDITS'"
    [[ "$LSP_QUERIES" =~ ^[1-9][0-9]*$ ]] || die "LSP_QUERIES must be a positive number, got '$LSP_QUERIES'"
    [[ "$LSP_MEMORY_EDITS" =~ ^[0-9]+$ ]] && ((10#$LSP_MEMORY_EDITS >= 10)) \
        || die "LSP_MEMORY_EDITS must be a number of at least 10, got '$LSP_MEMORY_EDITS'"
    for size in $LSP_SIZES; do
        ((10#$size >= 100)) || die "LSP_SIZES must be at least 100 lines, got '$size'"
    done
    [[ -n "${LSP_SIZES// /}" ]] || die "LSP_SIZES names no size"
fi
if ((do_callgrind)); then
    command -v valgrind >/dev/null || die "the callgrind figure needs valgrind (apt-get install valgrind)"
fi
if ((do_batch)); then
    command -v make >/dev/null || die "the batch row needs make"
fi

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
    helper_dir=$BUILD_DIR
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
WORK_DIR=$(cd "$WORK_DIR" && pwd)
cd "$WORK_DIR"

# The floor and the timer of the small programs: static, so that they start
# as fast as a process can.
if ((do_small)); then
    helper_dir=${helper_dir:-"$WORK_DIR/bin"}
    mkdir -p "$helper_dir"
    floor_bin="$helper_dir/bench-floor"
    timer_bin="$helper_dir/bench-timer"
    { gcc -O2 -static -o "$floor_bin" "$script_dir/floor.c" \
        && gcc -O2 -static -o "$timer_bin" "$script_dir/timer.c"; } >"$helper_dir/bench-helpers.log" 2>&1 \
        || die "building bench-floor and bench-timer failed (static linking needs libc6-dev), see $helper_dir/bench-helpers.log"
fi

# A make above this script would hand its flags and job slots down.
unset MAKEFLAGS MFLAGS MAKELEVEL

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
    ((have_time)) && prefix+=("$TIME_BIN" -v -o "$WORK_DIR/time.log")
    local start=$EPOCHREALTIME
    run_status=0
    "${prefix[@]}" "$@" >"$WORK_DIR/last_output.log" 2>&1 || run_status=$?
    local end=$EPOCHREALTIME
    run_wall=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }')
    run_rss=n/a
    if ((have_time)) && [[ -s "$WORK_DIR/time.log" ]]; then
        run_rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK_DIR/time.log")
        rm -f "$WORK_DIR/time.log"
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
        step_fail=$(grep -m1 -v '^[[:space:]]*$' "$WORK_DIR/last_output.log" || true)
    fi
    last_status=$run_status
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'
}

# a - b, or n/a when either is not a number.
difference() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/) printf "%.6f", a - b; else print "n/a" }'
}

# Seconds as milliseconds with one decimal.
in_ms() {
    awk -v s="$1" 'BEGIN { if (s ~ /^-?[0-9.]+$/) printf "%.1f", s * 1000; else print "n/a" }'
}

# Wall times as seconds with four decimals.
in_s() {
    awk -v s="$1" 'BEGIN { if (s ~ /^[0-9.]+$/) printf "%.4f", s; else print "n/a" }'
}

# Bytes per source line of a size in MiB.
per_line() {
    awk -v m="$1" -v n="$2" 'BEGIN { if (m ~ /^[0-9.]+$/ && n > 0) printf "%.0f", m * 1048576 / n; else print "n/a" }'
}

print_row() {
    printf '  %-22s %10s %14s %8s\n' "$@"
}

# Prints a step's row and, when one of its runs failed, that run's first
# output line.
print_step() {
    local name=$1 status=$2 failure=$3
    print_row "$name" "$(in_s "$med_wall")" "$med_rss" "$status"
    [[ -n "$failure" ]] && echo "    first output line: $failure"
    return 0
}

# Writes the program of the given size (once) and sets source_file.
generate() {
    source_file="prog_$1.vs"
    [[ -e "$source_file" ]] || python3 "$script_dir/gen_program.py" "$1" --seed "$SEED" -o "$source_file"
}

cc1_command() {
    cc1_cmd=("$CC1" -E -quiet "$1" "-o$2" -lang-asm "-D__HASH__=#" -D__VANTIC_TC__)
}

# Runs one command through bench-timer; sets run_ns (wall time in ns) and
# run_status. Its output goes to last_output.log.
timed_once() {
    local limit=()
    ((TIMEOUT > 0)) && limit=(-t "$TIMEOUT")
    run_status=0
    run_ns=$("$timer_bin" "${limit[@]}" "$WORK_DIR/last_output.log" "$@") || run_status=$?
    [[ "$run_ns" =~ ^[0-9]+$ ]] || die "bench-timer measured no time for: $*"
}

# Sets small_cmd to command k of a small round: 0 rozedov, 1 cc1 alone,
# 2 the floor. All three run in WORK_DIR on source_file.
small_command() {
    case $1 in
        0) small_cmd=("$ROZEDOV" "$source_file") ;;
        1) small_cmd=("${cc1_cmd[@]}") ;;
        2) small_cmd=("$floor_bin" "$CC1" "$source_file") ;;
    esac
}

# Nanoseconds as milliseconds with two decimals.
ns_in_ms() {
    awk -v n="$1" 'BEGIN { printf "%.2f", n / 1e6 }'
}

run_small() {
    local names=("rozedov" "cc1 -E alone" "floor: cc1, read a.ppf")
    local size bytes round j k line
    for size in $SMALL_SIZES; do
        generate "$size"
        bytes=$(stat -c %s "$source_file")
        cc1_command "$source_file" a.ppf

        echo
        echo "== small program at the floor: $size lines ($source_file, $bytes bytes), $ROUNDS rounds =="

        # One unrecorded round warms the caches. Then each round runs the
        # three commands once, starting with a different one from one round
        # to the next, so that none of them always follows the same one.
        for k in 0 1 2; do
            small_command "$k"
            timed_once "${small_cmd[@]}"
        done
        local times=() failed=(0 0 0) first_failure=('' '' '')
        for ((round = 0; round < ROUNDS; ++round)); do
            for j in 0 1 2; do
                k=$(((round + j) % 3))
                small_command "$k"
                timed_once "${small_cmd[@]}"
                times[round * 3 + k]=$run_ns
                if ((run_status != 0)); then
                    ((++failed[k]))
                    if [[ -z "${first_failure[k]}" ]]; then
                        first_failure[k]="status $run_status"
                        line=$(grep -m1 -v '^[[:space:]]*$' "$WORK_DIR/last_output.log" || true)
                        [[ -z "$line" ]] || first_failure[k]+=", first output line: $line"
                    fi
                fi
            done
        done

        printf '  %-24s %10s %12s\n' "command" "wall [ms]" "failed runs"
        local own=()
        for k in 0 1 2; do
            own=()
            for ((round = 0; round < ROUNDS; ++round)); do
                own+=("${times[round * 3 + k]}")
            done
            printf '  %-24s %10s %12s\n' "${names[k]}" "$(ns_in_ms "$(median "${own[@]}")")" "${failed[k]}"
            [[ -n "${first_failure[k]}" ]] && echo "    first failure: ${first_failure[k]}"
        done

        # Differences within each round, then their median over the rounds.
        local over_floor=() over_cc1=() floor_over_cc1=() r
        for ((round = 0; round < ROUNDS; ++round)); do
            r=$((round * 3))
            over_floor+=($((times[r] - times[r + 2])))
            over_cc1+=($((times[r] - times[r + 1])))
            floor_over_cc1+=($((times[r + 2] - times[r + 1])))
        done
        local rozedov_over_floor
        rozedov_over_floor=$(ns_in_ms "$(median "${over_floor[@]}")")
        echo "  medians over the rounds of each round's difference:"
        echo "  rozedov minus floor:    $rozedov_over_floor ms"
        echo "  rozedov minus cc1:      $(ns_in_ms "$(median "${over_cc1[@]}")") ms"
        echo "  floor minus cc1:        $(ns_in_ms "$(median "${floor_over_cc1[@]}")") ms"
        echo "  goal: rozedov at most 2 ms above the floor; measured: $rozedov_over_floor ms"
    done
}

run_sizes() {
    local sizes_done=() walls=() own_walls=() rsses=() time_ratios=()
    local size bytes round i
    for size in $SIZES; do
        generate "$size"
        bytes=$(stat -c %s "$source_file")

        echo
        echo "== $size lines ($source_file, $((bytes / 1024)) KiB) =="
        print_row "step" "wall [s]" "peak RSS [MiB]" "status"

        # The three steps run in turn, round after round, so that each round's
        # ratios compare runs made moments apart: this machine's speed drifts
        # by a fifth within minutes. One unrecorded round warms the caches.
        cc1_command "$source_file" a.ppf
        run_once "${cc1_cmd[@]}"
        run_once "$ROZEDOV" "$source_file"
        run_once "$ROZEDOV" -l "$source_file"
        cc1_w=() cc1_r=() cc1_f='' plain_w=() plain_r=() plain_f='' list_w=() list_r=() list_f=''
        local own_w=() plain_ratio=() list_ratio=() list_over=()
        local cc1_status plain_status list_status
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
        print_step "cc1 -E (preprocessor)" "$cc1_status" "$cc1_f"
        summarize plain_w plain_r
        local plain_wall=$med_wall plain_rss=$med_rss
        print_step "rozedov" "$plain_status" "$plain_f"
        summarize list_w list_r
        local listing_rss=$med_rss
        print_step "rozedov -l" "$list_status" "$list_f"

        local own_wall plain_ratio_median
        own_wall=$(median "${own_w[@]}")
        plain_ratio_median=$(median "${plain_ratio[@]}")
        local not_goal=''
        ((size == 1000000)) && not_goal=' (reported, not a goal)'
        echo "  medians over the rounds of each round's figure:"
        echo "  ratio rozedov/cc1:      $plain_ratio_median$not_goal"
        echo "  ratio rozedov -l/cc1:   $(median "${list_ratio[@]}")"
        echo "  rozedov minus cc1:      $(in_ms "$own_wall") ms"
        echo "  -l over rozedov:        $(median "${list_over[@]}")"
        echo "  peak RSS per line:      $(per_line "$plain_rss" "$size") B, with -l $(per_line "$listing_rss" "$size") B"
        sizes_done+=("$size")
        walls+=("$plain_wall")
        own_walls+=("$own_wall")
        rsses+=("$plain_rss")
        time_ratios+=("$plain_ratio_median")
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

    # The goals at scale, from the figures of 100,000 and 1,000,000 lines.
    local at_100k='' at_1m=''
    for i in "${!sizes_done[@]}"; do
        ((sizes_done[i] == 100000)) && at_100k=$i
        ((sizes_done[i] == 1000000)) && at_1m=$i
    done
    if [[ -n "$at_1m" ]]; then
        echo
        echo "== goals at scale (rozedov, peak RSS as in the table above) =="
        echo "  peak RSS per line at 1000000 lines: $(per_line "${rsses[at_1m]}" 1000000) B" \
            "(goal: below 1024 B per line)"
        if [[ -n "$at_100k" ]]; then
            echo "  peak RSS growth 100000 -> 1000000 lines: x$(ratio "${rsses[at_1m]}" "${rsses[at_100k]}")" \
                "(goal: at most x11)"
        fi
        echo "  time ratio rozedov/cc1 at 1000000 lines: ${time_ratios[at_1m]} (reported, not a goal)"
    fi
}

batch_dir="$WORK_DIR/batch"
alone_dir="$WORK_DIR/batch-alone"
batch_differs=0

# Writes the batch programs p1.s ... pN.s, each with its own seed, and the
# Makefile: target "assemble" runs rozedov on every program, "preprocess"
# runs cc1 alone on every program, each writing its own pN.ppf.
write_batch() {
    mkdir -p "$batch_dir"
    python3 - "$script_dir" "$batch_dir" "$BATCH_PROGRAMS" "$BATCH_LINES" "$SEED" <<'PY'
import os, sys
sys.path.insert(0, sys.argv[1])
import gen_program
directory, count, lines, seed = sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
for n in range(1, count + 1):
    path = os.path.join(directory, "p%d.s" % n)
    if gen_program.main([lines, "--seed", str(seed * 1000 + n), "-o", path]) != 0:
        sys.exit(1)
PY
    local path
    for path in "$ROZEDOV" "$CC1"; do
        [[ "$path" != *[[:space:]\$\#\'\"\\]* ]] || die "the batch Makefile cannot name '$path'"
    done
    local names=() n
    for ((n = 1; n <= BATCH_PROGRAMS; ++n)); do
        names+=("p$n")
    done
    # A '#' inside a recipe reaches the shell, which keeps it within the word.
    {
        echo "# Written by bench/run.sh: $BATCH_PROGRAMS programs of $BATCH_LINES lines."
        echo "ROZEDOV := $ROZEDOV"
        echo "CC1 := $CC1"
        echo "PROGRAMS := ${names[*]}"
        echo
        echo '.PHONY: assemble preprocess $(PROGRAMS) $(PROGRAMS:=.cc1)'
        echo 'assemble: $(PROGRAMS)'
        echo 'preprocess: $(PROGRAMS:=.cc1)'
        echo
        echo '$(PROGRAMS):'
        printf '\t%s\n' '$(ROZEDOV) $@.s'
        echo
        echo '$(PROGRAMS:=.cc1):'
        printf '\t%s\n' '$(CC1) -E -quiet $(@:.cc1=).s -o$(@:.cc1=).ppf -lang-asm -D__HASH__=# -D__VANTIC_TC__'
    } >"$batch_dir/Makefile"
}

# Assembles every batch program alone, one after the other, in its own
# directory: the outputs the batch runs must match.
assemble_alone() {
    mkdir -p "$alone_dir"
    cp "$batch_dir"/p*.s "$alone_dir"/
    local n failed=0
    for ((n = 1; n <= BATCH_PROGRAMS; ++n)); do
        (cd "$alone_dir" && "$ROZEDOV" "p$n.s") >"$alone_dir/p$n.log" 2>&1 || ((++failed))
    done
    ((failed == 0)) || echo "  note: $failed of $BATCH_PROGRAMS programs fail even when assembled alone"
}

# Marks in batch_bad the programs whose batch outputs are missing or differ
# from the ones assembled alone; sets batch_bad_now to their count this run.
check_batch() {
    local n ext
    batch_bad_now=0
    for ((n = 1; n <= BATCH_PROGRAMS; ++n)); do
        for ext in o.txt o.dat; do
            if ! cmp -s "$batch_dir/p$n.$ext" "$alone_dir/p$n.$ext"; then
                batch_bad[n]=1
                ((++batch_bad_now))
                break
            fi
        done
    done
}

# The make command over the batch. Before a rozedov run its outputs are
# removed, so that one it does not write counts as differing.
prepare_make() {
    make_cmd=(make -C "$batch_dir" -s -k -j2 "$1")
    if [[ "$1" == assemble ]]; then
        rm -f "$batch_dir"/*.o.txt "$batch_dir"/*.o.dat "$batch_dir/a.ppf"
    else
        rm -f "$batch_dir"/*.ppf
    fi
}

run_batch() {
    echo
    echo "== batch: $BATCH_PROGRAMS programs of $BATCH_LINES lines, make -j2 in one directory =="
    write_batch
    assemble_alone
    print_row "step" "wall [s]" "peak RSS [MiB]" "status"

    # As above: both makes in turn, round after round, after a warm-up round.
    # Every rozedov run, the warm-up too, is checked.
    batch_bad=()
    local bad_per_run=()
    prepare_make preprocess
    run_once "${make_cmd[@]}"
    prepare_make assemble
    run_once "${make_cmd[@]}"
    check_batch
    bad_per_run+=("$batch_bad_now")
    local pre_w=() pre_r=() pre_f='' asm_w=() asm_r=() asm_f='' asm_ratio=() round
    local pre_status asm_status
    for ((round = 0; round < RUNS; ++round)); do
        prepare_make preprocess
        record pre_w pre_r pre_f "${make_cmd[@]}"
        pre_status=$last_status
        prepare_make assemble
        record asm_w asm_r asm_f "${make_cmd[@]}"
        asm_status=$last_status
        check_batch
        bad_per_run+=("$batch_bad_now")
        asm_ratio+=("$(ratio "${asm_w[round]}" "${pre_w[round]}")")
    done

    summarize pre_w pre_r
    print_step "make -j2, cc1 alone" "$pre_status" "$pre_f"
    summarize asm_w asm_r
    print_step "make -j2, rozedov" "$asm_status" "$asm_f"
    echo "  ratio rozedov/cc1:      $(median "${asm_ratio[@]}") (median of the rounds' ratios; goal: at most 2.0)"

    local differing=${#batch_bad[@]}
    echo "  batch outputs identical: $((BATCH_PROGRAMS - differing)) of $BATCH_PROGRAMS (goal: all)"
    if ((differing > 0)); then
        echo "  differing programs per make run (warm-up first): ${bad_per_run[*]}"
        local n shown=()
        for n in "${!batch_bad[@]}"; do
            shown+=("p$n")
            ((${#shown[@]} < 10)) || break
        done
        echo "  for instance: ${shown[*]}"
        batch_differs=1
    fi
}

# Counts the instructions of one rozedov run on the program of the given
# size under callgrind; sets callgrind_ir.
callgrind_count() {
    generate "$1"
    local out="$WORK_DIR/callgrind_$1.out" log="$WORK_DIR/callgrind_$1.log"
    rm -f "$out"
    # cc1 runs in a child (through /bin/sh), which is not traced: the count
    # is the rozedov process alone.
    local status=0
    valgrind --tool=callgrind --callgrind-out-file="$out" --trace-children=no \
        "$ROZEDOV" "$source_file" >"$log" 2>&1 || status=$?
    ((status == 0)) || echo "  note: rozedov exited with status $status under callgrind, see $log"
    [[ -s "$out" ]] || die "callgrind wrote no profile, see $log"
    callgrind_ir=$(awk '/^totals:/ { t = $2 } /^summary:/ { s = $2 } END { print (t != "" ? t : s) }' "$out")
    [[ "$callgrind_ir" =~ ^[0-9]+$ ]] || die "no instruction total in $out"
}

run_callgrind() {
    local sizes_done=() irs=() size i
    for size in $CALLGRIND_SIZES; do
        echo
        echo "== callgrind: rozedov on $size lines =="
        callgrind_count "$size"
        echo "  instructions (Ir):      $callgrind_ir"
        echo "  per source line:        $(awk -v i="$callgrind_ir" -v n="$size" 'BEGIN { if (n > 0) printf "%.0f", i / n; else print "n/a" }')"
        sizes_done+=("$size")
        irs+=("$callgrind_ir")
    done
    if ((${#sizes_done[@]} > 1)); then
        echo
        echo "== callgrind: growth of the instructions from one size to the next =="
        local goal
        for ((i = 1; i < ${#sizes_done[@]}; ++i)); do
            goal=''
            ((sizes_done[i - 1] == 100000 && sizes_done[i] == 1000000)) && goal=' (goal: at most x11)'
            echo "  ${sizes_done[i - 1]} -> ${sizes_done[i]} lines: instructions x$(ratio "${irs[i]}" "${irs[i - 1]}")$goal"
        done
    fi
}

# The editor server, driven by lsp_client.py; sets lsp_failed when the
# server failed or published diagnostics that do not fit an edit.
run_lsp() {
    local status=0
    python3 "$script_dir/lsp_client.py" --rozedov "$ROZEDOV" --cc1 "$CC1" --work "$WORK_DIR/lsp" \
        --sizes "$LSP_SIZES" --edits "$((10#$LSP_EDITS))" --queries "$((10#$LSP_QUERIES))" \
        --memory-edits "$((10#$LSP_MEMORY_EDITS))" --seed "$SEED" || status=$?
    ((status == 2)) && die "lsp_client.py refused its settings"
    ((status == 0)) || lsp_failed=1
}
lsp_failed=0

echo "rozedov: $ROZEDOV"
echo "cc1:     $CC1"
echo "rounds:  $ROUNDS for small programs, $RUNS for the others, each after a warm-up (medians)"
echo "work:    $WORK_DIR"

((do_small)) && run_small
((do_sizes)) && run_sizes
((do_batch)) && run_batch
((do_callgrind)) && run_callgrind
((do_lsp)) && run_lsp
exit $((batch_differs || lsp_failed))
