#!/usr/bin/env python3
"""Times the editor server (rozedov --lsp) as an editor uses it.

Three measurements, each on a fresh server that talks to this script over its
standard input and output:

edits    For each size, a generated program is opened, then EDITS rounds
         (after one unrecorded warm-up round) of two steps, taken in turn:
           server  - didChange with the whole new text, timed until the
                     publishDiagnostics of that version has been read whole;
           cc1     - the cc1 beside rozedov alone on the same text
                     (cc1 -E -quiet - -lang-asm -D__HASH__=# -D__VANTIC_TC__,
                     the text on standard input, its output to /dev/null).
         Round r starts with step r mod 2. Each edit changes one register of
         another instruction line: to the next register (a valid program)
         in even rounds, to R8 (an error on that line) in odd ones, so the
         text differs every time. The diagnostics are checked: no error
         after a valid edit, an error on the edited line after an invalid one.
queries  On the smallest size, QUERIES rounds (after a warm-up round) of
         hover, inlayHint (60 lines, as a window shows), inlayHint (whole
         document), definition and references, in turn starting with
         request r mod 5, at instruction lines, label uses and label
         definitions that change from round to round. This server finds
         its cc1 through a folder whose cc1 counts its runs before starting
         the real one, so the script can show that answers run no cc1.
memory   On the smallest size, MEMORY_EDITS edits as above, each followed by
         an inlayHint of the whole document and a hover, as an editor asks
         after every change; VmRSS and VmHWM of the server from
         /proc/<pid>/status after 10 edits and after the last.

Every figure is printed with its goal and "met" or "not met"; timings are
never judged otherwise. Exit status: 0, or 1 when the server stopped, gave no
answer in time, answered with an error or published diagnostics that do not
fit the edit; 2 on a usage or setup error.
"""

import argparse
import json
import os
import re
import select
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_program  # noqa: E402

CC1_ARGUMENTS = ["-E", "-quiet", "-", "-lang-asm", "-D__HASH__=#", "-D__VANTIC_TC__"]
ANSWER_TIMEOUT = 30.0

# Goals in milliseconds, by program size: the server's time from didChange
# to diagnostics minus cc1's time on the same text.
EDIT_GOALS_MS = {500: 5.0, 5000: 30.0}
QUERY_GOAL_MS = 2.0
# Flat memory: VmRSS after the last edit at most this far above the figure
# after 10 edits.
FLAT_GROWTH_KIB = 512
WINDOW_LINES = 60

REGISTER_OPS = {"mov", "add", "sub", "and", "or", "not", "inc", "dec",
                "shl", "shr", "ashl", "ashr", "ld", "st"}
JUMPS = {"jmp", "jmpz", "jmps", "jmpc", "jmpnz", "jmpns", "jmpnc"}
# An instruction line: an optional label, the mnemonic, its first operand.
INSTRUCTION = re.compile(r"^(\s*(?:([A-Za-z_.][\w.]*):\s*)?)([A-Za-z]+)\s+([A-Za-z_.][\w.]*)")
LABEL_DEFINITION = re.compile(r"^\s*([A-Za-z_.][\w.]*):")


class ServerFailed(Exception):
    """The server stopped, said nothing in time, or answered with an error."""


class Server:
    """One rozedov --lsp process and the framed messages to and from it."""

    def __init__(self, argv, folder, log_path):
        self.log = open(log_path, "wb")
        self.process = subprocess.Popen(argv, cwd=folder, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=self.log)
        self.input = self.process.stdin.fileno()
        self.output = self.process.stdout.fileno()
        self.pending = bytearray()
        self.next_id = 1

    @staticmethod
    def frame(message):
        body = json.dumps(message).encode()
        return b"Content-Length: %d\r\n\r\n" % len(body) + body

    def send(self, data):
        view = memoryview(data)
        while view:
            try:
                view = view[os.write(self.input, view):]
            except BrokenPipeError:
                raise ServerFailed("the server closed its input") from None

    def receive(self):
        """The next message's body and the time it was read whole."""
        deadline = time.monotonic() + ANSWER_TIMEOUT
        while True:
            end = self.pending.find(b"\r\n\r\n")
            if end >= 0:
                length = None
                for line in bytes(self.pending[:end]).split(b"\r\n"):
                    name, _, value = line.partition(b":")
                    if name.strip().lower() == b"content-length":
                        length = int(value)
                if length is None:
                    raise ServerFailed("a message without Content-Length")
                if len(self.pending) >= end + 4 + length:
                    read_at = time.perf_counter_ns()
                    body = bytes(self.pending[end + 4:end + 4 + length])
                    del self.pending[:end + 4 + length]
                    return body, read_at
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.output], [], [], left)[0]:
                raise ServerFailed("no answer within %.0f s" % ANSWER_TIMEOUT)
            chunk = os.read(self.output, 1 << 20)
            if not chunk:
                raise ServerFailed("the server ended (status %s)" % self.process.wait())
            self.pending += chunk

    def wait_for(self, wanted):
        """The first message for which wanted() holds, and when it was read."""
        while True:
            body, read_at = self.receive()
            message = json.loads(body)
            if wanted(message):
                return message, read_at

    def request(self, method, params):
        """Sends a request; its result and the nanoseconds until the answer."""
        number = self.next_id
        self.next_id += 1
        data = self.frame({"jsonrpc": "2.0", "id": number, "method": method, "params": params})
        start = time.perf_counter_ns()
        self.send(data)
        answer, read_at = self.wait_for(lambda m: m.get("id") == number and "method" not in m)
        if "error" in answer:
            raise ServerFailed("%s answered with an error: %s" % (method, answer["error"].get("message")))
        return answer.get("result"), read_at - start

    def notify(self, method, params):
        self.send(self.frame({"jsonrpc": "2.0", "method": method, "params": params}))

    def diagnostics_of(self, uri, version):
        return self.wait_for(lambda m: m.get("method") == "textDocument/publishDiagnostics"
                             and m["params"].get("uri") == uri and m["params"].get("version") == version)

    def start(self, folder):
        self.request("initialize", {"processId": os.getpid(), "rootUri": "file://" + folder,
                                    "capabilities": {}, "initializationOptions": {}})
        self.notify("initialized", {})

    def open(self, uri, text):
        self.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "vorn",
                                                              "version": 1, "text": text}})
        self.diagnostics_of(uri, 1)

    def change_message(self, uri, version, text):
        return self.frame({"jsonrpc": "2.0", "method": "textDocument/didChange",
                           "params": {"textDocument": {"uri": uri, "version": version},
                                      "contentChanges": [{"text": text}]}})

    def edit(self, uri, version, text):
        """Sends the whole new text; the diagnostics and the nanoseconds until they came."""
        data = self.change_message(uri, version, text)
        start = time.perf_counter_ns()
        self.send(data)
        message, read_at = self.diagnostics_of(uri, version)
        return message["params"]["diagnostics"], read_at - start

    def memory(self):
        """VmRSS and VmHWM in KiB."""
        figures = {}
        with open("/proc/%d/status" % self.process.pid) as status:
            for line in status:
                name, _, value = line.partition(":")
                if name in ("VmRSS", "VmHWM"):
                    figures[name] = int(value.split()[0])
        return figures["VmRSS"], figures["VmHWM"]

    def stop(self):
        try:
            self.request("shutdown", None)
            self.notify("exit", None)
            status = self.process.wait(timeout=10)
        except (ServerFailed, subprocess.TimeoutExpired):
            self.process.kill()
            status = self.process.wait()
        self.process.stdin.close()
        self.process.stdout.close()
        self.log.close()
        return status


class Program:
    """A generated program, the places to ask about and its edited texts."""

    def __init__(self, path):
        with open(path, encoding="ascii") as source:
            self.text = source.read()
        self.lines = self.text.split("\n")
        self.uri = "file://" + os.path.abspath(path)
        self.register_places = []  # (line, column of the first register's digit)
        self.mnemonics = []        # (line, column) of an instruction's mnemonic
        self.label_uses = []       # (line, column) of a label a jump names
        self.label_definitions = []
        for number, line in enumerate(self.lines):
            found = INSTRUCTION.match(line)
            if found:
                mnemonic = found.group(3).lower()
                self.mnemonics.append((number, found.start(3)))
                if mnemonic in REGISTER_OPS and re.fullmatch(r"[rR][0-7]", found.group(4)):
                    self.register_places.append((number, found.start(4) + 1))
                if mnemonic in JUMPS and not found.group(4)[0].isdigit():
                    self.label_uses.append((number, found.start(4)))
            defined = LABEL_DEFINITION.match(line)
            if defined and not line.lstrip().startswith("#"):
                self.label_definitions.append((number, defined.start(1)))

    def spread(self, places, count):
        """count places spread over the program (repeating when there are fewer)."""
        if not places:
            raise SystemExit("lsp_client.py: the program has no places to ask about")
        step = max(1, len(places) // count)
        return [places[(i * step) % len(places)] for i in range(count)]

    def edits(self, count):
        """count edited texts, each with its line and whether it is valid."""
        texts = []
        for i, (line, column) in enumerate(self.spread(self.register_places, count)):
            valid = i % 2 == 0
            old = self.lines[line]
            digit = str((int(old[column]) + 1) % 8) if valid else "8"
            lines = list(self.lines)
            lines[line] = old[:column] + digit + old[column + 1:]
            texts.append(("\n".join(lines), line, valid))
        return texts


def fits(diagnostics, line, valid):
    """Whether the diagnostics are those of the edit: no error after a valid
    one, an error on the edited line after an invalid one."""
    errors = [d for d in diagnostics if d.get("severity") == 1]
    if valid:
        return not errors
    return any(d["range"]["start"]["line"] == line for d in errors)


def run_cc1(cc1, text_path):
    """Nanoseconds of one cc1 run on the file as its standard input."""
    actions = [(os.POSIX_SPAWN_OPEN, 0, text_path, os.O_RDONLY, 0),
               (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
               (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)]
    start = time.perf_counter_ns()
    pid = os.posix_spawn(cc1, [cc1] + CC1_ARGUMENTS, os.environ, file_actions=actions)
    _, status = os.waitpid(pid, 0)
    elapsed = time.perf_counter_ns() - start
    return elapsed, os.waitstatus_to_exitcode(status)


def ms(nanoseconds):
    return "%.2f" % (nanoseconds / 1e6)


def verdict(measured_ms, goal_ms):
    return "met" if measured_ms <= goal_ms else "not met"


class Bench:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work)
        self.faults = []

    def generate(self, size):
        path = os.path.join(self.work, "lsp_%d.vs" % size)
        if not os.path.exists(path):
            gen_program.main([str(size), "--seed", str(self.args.seed), "-o", path])
        return Program(path)

    def server(self, name, program_path=None):
        server = Server([program_path or self.args.rozedov, "--lsp"], self.work,
                        os.path.join(self.work, "lsp_%s.log" % name))
        server.start(self.work)
        return server

    def edits_part(self, size):
        program = self.generate(size)
        rounds = self.args.edits
        texts = program.edits(rounds + 1)
        print()
        print("== editor server, edit to diagnostics: %d lines (%s, %d bytes), %d rounds =="
              % (size, os.path.basename(program.uri), len(program.text), rounds))
        server = self.server("edits_%d" % size)
        server.open(program.uri, program.text)
        text_path = os.path.join(self.work, "lsp_edit.vs")
        times = {0: [], 1: []}
        cc1_failed = 0
        unfitting = []
        published = []
        # Round -1 warms the caches and is not recorded.
        for round_number in range(-1, rounds):
            text, line, valid = texts[round_number]
            version = round_number + 3
            with open(text_path, "w", encoding="ascii") as out:
                out.write(text)
            for j in range(2):
                step = (round_number + j) % 2
                if step == 0:
                    diagnostics, elapsed = server.edit(program.uri, version, text)
                    if round_number >= 0:
                        published.append(len(diagnostics))
                        if not fits(diagnostics, line, valid):
                            unfitting.append(round_number)
                else:
                    elapsed, status = run_cc1(self.args.cc1, text_path)
                    if status != 0 and round_number >= 0:
                        cc1_failed += 1
                if round_number >= 0:
                    times[step].append(elapsed)
        server.stop()

        over = statistics.median(s - c for s, c in zip(times[0], times[1]))
        print("  %-36s %12s" % ("step", "median [ms]"))
        print("  %-36s %12s" % ("didChange -> publishDiagnostics", ms(statistics.median(times[0]))))
        print("  %-36s %12s" % ("cc1 -E alone, same text", ms(statistics.median(times[1]))))
        if cc1_failed:
            print("  cc1 failed in %d rounds" % cc1_failed)
        print("  diagnostics that fit the edit: %d of %d (goal: all); diagnostics per edit: %d to %d"
              % (rounds - len(unfitting), rounds, min(published), max(published)))
        if unfitting:
            self.faults.append("diagnostics that do not fit the edit at %d lines (rounds %s)"
                               % (size, " ".join(map(str, unfitting[:10]))))
        goal = EDIT_GOALS_MS.get(size)
        line = "  server minus cc1 (median of the rounds' differences): %s ms" % ms(over)
        if goal is not None:
            line += "; goal: at most %g ms; %s" % (goal, verdict(over / 1e6, goal))
        print(line)

    def counting_folder(self):
        """A folder with a link to rozedov and a cc1 that counts its runs, so
        a server started from it runs that cc1."""
        folder = os.path.join(self.work, "counted")
        os.makedirs(folder, exist_ok=True)
        link = os.path.join(folder, "rozedov")
        if not os.path.lexists(link):
            os.symlink(self.args.rozedov, link)
        count_path = os.path.join(folder, "cc1-runs")
        with open(os.path.join(folder, "cc1"), "w") as wrapper:
            wrapper.write("#!/bin/sh\nprintf x >> '%s'\nexec '%s' \"$@\"\n" % (count_path, self.args.cc1))
        os.chmod(os.path.join(folder, "cc1"), 0o755)
        open(count_path, "w").close()
        return link, count_path

    def queries_part(self, size):
        program = self.generate(size)
        rounds = self.args.queries
        link, count_path = self.counting_folder()
        print()
        print("== editor server, answers: %d lines, %d rounds of each request ==" % (size, rounds))
        server = self.server("queries", link)
        server.open(program.uri, program.text)
        runs_at_open = os.path.getsize(count_path)
        last = len(program.lines) - 1
        document = {"uri": program.uri}

        def at(place):
            return {"textDocument": document, "position": {"line": place[0], "character": place[1]}}

        def window(place):
            first = max(0, min(place[0] - WINDOW_LINES // 2, last - WINDOW_LINES))
            return {"textDocument": document,
                    "range": {"start": {"line": first, "character": 0},
                              "end": {"line": min(last, first + WINDOW_LINES), "character": 0}}}

        whole = {"textDocument": document,
                 "range": {"start": {"line": 0, "character": 0}, "end": {"line": last, "character": 0}}}
        count = rounds + 1
        requests = [
            ("hover", "textDocument/hover", [at(p) for p in program.spread(program.mnemonics, count)]),
            ("inlayHint, %d lines" % WINDOW_LINES, "textDocument/inlayHint",
             [window(p) for p in program.spread(program.mnemonics, count)]),
            ("inlayHint, whole document", "textDocument/inlayHint", [whole] * count),
            ("definition", "textDocument/definition", [at(p) for p in program.spread(program.label_uses, count)]),
            ("references", "textDocument/references",
             [dict(at(p), context={"includeDeclaration": True})
              for p in program.spread(program.label_definitions, count)]),
        ]
        times = [[] for _ in requests]
        answered = [0] * len(requests)
        for round_number in range(-1, rounds):
            for j in range(len(requests)):
                k = (round_number + j) % len(requests)
                _, method, params = requests[k]
                result, elapsed = server.request(method, params[round_number])
                if round_number >= 0:
                    times[k].append(elapsed)
                    answered[k] += result not in (None, [], {})
        runs_after = os.path.getsize(count_path)
        server.stop()

        print("  %-30s %12s %10s" % ("request", "median [ms]", "answered"))
        for (name, _, _), elapsed, number in zip(requests, times, answered):
            median = statistics.median(elapsed)
            print("  %-30s %12s %10s   goal: at most %g ms; %s"
                  % (name, ms(median), "%d/%d" % (number, rounds), QUERY_GOAL_MS,
                     verdict(median / 1e6, QUERY_GOAL_MS)))
        print("  (answered: results that are not empty)")
        if runs_at_open == 0:
            print("  cc1 runs during the requests: not counted (the server did not run the counting cc1)")
        else:
            requests_made = (rounds + 1) * len(requests)
            during = runs_after - runs_at_open
            print("  cc1 runs during the %d requests: %d (goal: none, answers use the stored analysis); %s"
                  % (requests_made, during, "met" if during == 0 else "not met"))

    def memory_part(self, size):
        program = self.generate(size)
        edits = self.args.memory_edits
        texts = program.edits(20)
        print()
        print("== editor server, memory: %d lines, %d edits, each followed by inlayHint and hover =="
              % (size, edits))
        server = self.server("memory")
        server.open(program.uri, program.text)
        last = len(program.lines) - 1
        whole = {"textDocument": {"uri": program.uri},
                 "range": {"start": {"line": 0, "character": 0}, "end": {"line": last, "character": 0}}}
        hovers = program.spread(program.mnemonics, 20)
        figures = {}
        for number in range(1, edits + 1):
            text, line, valid = texts[number % len(texts)]
            server.edit(program.uri, number + 1, text)
            server.request("textDocument/inlayHint", whole)
            place = hovers[number % len(hovers)]
            server.request("textDocument/hover", {"textDocument": {"uri": program.uri},
                                                  "position": {"line": place[0], "character": place[1]}})
            if number in (10, edits):
                figures[number] = server.memory()
        server.stop()

        (rss_early, hwm_early), (rss_late, hwm_late) = figures[10], figures[edits]
        growth = rss_late - rss_early
        print("  after %5d edits: VmRSS %7d KiB, VmHWM %7d KiB" % (10, rss_early, hwm_early))
        print("  after %5d edits: VmRSS %7d KiB, VmHWM %7d KiB" % (edits, rss_late, hwm_late))
        print("  VmRSS x%.3f (%+d KiB), VmHWM x%.3f; goal: flat, VmRSS at most %d KiB above the figure"
              " after 10 edits; %s"
              % (rss_late / rss_early, growth, hwm_late / hwm_early, FLAT_GROWTH_KIB,
                 "met" if growth <= FLAT_GROWTH_KIB else "not met"))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rozedov", required=True, help="the rozedov binary")
    parser.add_argument("--cc1", required=True, help="the cc1 to time alone")
    parser.add_argument("--work", required=True, help="folder for the programs and logs")
    parser.add_argument("--sizes", default="500 5000", help="program sizes in lines (default '500 5000')")
    parser.add_argument("--edits", type=int, default=20, help="timed edits per size (default 20)")
    parser.add_argument("--queries", type=int, default=30, help="rounds of requests (default 30)")
    parser.add_argument("--memory-edits", type=int, default=1000, help="edits of the memory part (default 1000)")
    parser.add_argument("--seed", type=int, default=1, help="generator seed (default 1)")
    args = parser.parse_args(argv)
    try:
        sizes = [int(size) for size in args.sizes.split()]
    except ValueError:
        parser.error("--sizes must be numbers")
    if not sizes or min(sizes) < 100:
        parser.error("--sizes must name sizes of at least 100 lines")
    if args.edits < 2 or args.queries < 1 or args.memory_edits < 10:
        parser.error("--edits must be at least 2, --queries at least 1, --memory-edits at least 10")
    args.rozedov = os.path.abspath(args.rozedov)
    os.makedirs(args.work, exist_ok=True)

    bench = Bench(args)
    try:
        for size in sizes:
            bench.edits_part(size)
        bench.queries_part(min(sizes))
        bench.memory_part(min(sizes))
    except ServerFailed as failure:
        print("  the server failed: %s (its standard error is in %s)" % (failure, args.work))
        return 1
    for fault in bench.faults:
        print("  fault: %s" % fault)
    return 1 if bench.faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
