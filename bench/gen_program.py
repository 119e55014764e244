#!/usr/bin/env python3
"""Writes a Vorn assembly program of exactly N lines for benchmarking.

The program is a code section followed by a data section. The code section
mixes labelled register operations, loads and stores, and jumps to labels
defined before and after the jump (some with addends); the data section holds
labelled rows of words given by expressions, some of which refer to labels.
Comments (";", "//", "/* */"), blank lines, a few macros and "__NEW_LINE__"
separators are sprinkled in. Every label is defined exactly once and each one
is followed by a statement of its own section, and jump addends are even (they
count bytes) and never lead before word 0, so a program that fits the ROM's
512 words assembles without messages. Jump address fields are 9 bits wide:
in larger programs jumps reach past the ROM, which the assembler warns about
on standard error while encoding the wrapped address; that is fine here.

The output depends only on N and the seed.
"""

import argparse
import random
import sys

# Share of the lines that belong to the data section.
DATA_SHARE = 0.15
MIN_LINES = 8

HEADER = [
    "; Vorn benchmark program: {lines} lines, seed {seed}.",
    "#define STEP 2",
    "#define MASK 0x00FF",
]

# (mnemonic, register operand count, weight)
REGISTER_OPS = [
    ("mov", 2, 12), ("add", 3, 10), ("sub", 3, 6), ("and", 3, 4),
    ("or", 3, 4), ("not", 2, 3), ("inc", 2, 8), ("dec", 2, 6),
    ("shl", 2, 3), ("shr", 2, 3), ("ashl", 2, 2), ("ashr", 2, 2),
    ("ld", 2, 8), ("st", 2, 6),
]
JUMPS = ["jmp", "jmpz", "jmps", "jmpc", "jmpnz", "jmpns", "jmpnc"]
JUMP_WEIGHT = 18

CODE_LABEL_PREFIXES = ["loop", "next", "skip", "done", "again", "label"]
DATA_LABEL_PREFIXES = ["table", "data", "msg", "buf"]

COMMENT_TEXTS = [
    "advance the pointer", "save the counter", "check the flags",
    "restore the work register", "swap the operands", "clear the carry",
    "next element", "inner loop", "scale by two", "load the operand",
    "store the result", "keep the sign",
]

# Weights of the line kinds of the code section (labels are chosen apart).
CODE_LINE_KINDS = [
    ("instruction", 70), ("commented_instruction", 10),
    ("line_comment", 7), ("blank", 7), ("block_comment", 2), ("pair", 4),
]


def pick_weighted(rng, table, weight_index):
    total = sum(entry[weight_index] for entry in table)
    point = rng.uniform(0, total)
    for entry in table:
        point -= entry[weight_index]
        if point <= 0:
            return entry
    return table[-1]


def spell(rng, word):
    """Most words as written; some upper case, a few in mixed case."""
    roll = rng.random()
    if roll < 0.08:
        return word.upper()
    if roll < 0.10:
        return word.capitalize()
    return word


def register(rng, upper):
    name = "r%d" % rng.randrange(8)
    return name.upper() if upper else name


def comment(rng):
    text = rng.choice(COMMENT_TEXTS)
    return ("; " if rng.random() < 0.5 else "// ") + text


class LabelPool:
    """Hands out unique label names with a shared counter."""

    def __init__(self):
        self.count = 0

    def make(self, rng, prefixes):
        self.count += 1
        return "%s_%d" % (rng.choice(prefixes), self.count)


class ProgramWriter:
    def __init__(self, lines, seed, label_every):
        self.lines = lines
        self.seed = seed
        self.rng = random.Random(seed)
        self.label_chance = 1.0 / label_every
        self.pool = LabelPool()
        self.code_labels = []
        self.data_labels = []

    # ---- planning -------------------------------------------------------

    def plan_code(self, count):
        """Line kinds of the code body, with the labels each line defines.

        A label stands either in front of its instruction or on the line
        before it; the last line is always an instruction.
        """
        plan = []
        while len(plan) < count:
            remaining = count - len(plan)
            kind = pick_weighted(self.rng, CODE_LINE_KINDS, 1)[0]
            if remaining == 1 or kind not in ("line_comment", "blank", "block_comment"):
                kind = "instruction" if remaining == 1 else kind
                if self.rng.random() < self.label_chance:
                    label = self.pool.make(self.rng, CODE_LABEL_PREFIXES)
                    self.code_labels.append(label)
                    if remaining >= 2 and self.rng.random() < 0.3:
                        plan.append(("label_line", label))
                        plan.append((kind, None))
                        continue
                    plan.append((kind, label))
                    continue
            plan.append((kind, None))
        return plan[:count]

    def plan_data(self, count):
        """Data rows: each row defines at most one label and holds values."""
        plan = []
        for index in range(count):
            label = None
            if index == 0 or self.rng.random() < 0.4:
                label = self.pool.make(self.rng, DATA_LABEL_PREFIXES)
                self.data_labels.append(label)
            plan.append(label)
        return plan

    # ---- code section ---------------------------------------------------

    def jump_target(self, position):
        """A label near the jump, before or after it, with an optional addend."""
        labels = self.code_labels
        if not labels or self.rng.random() < 0.03:
            return "0x%X" % self.rng.randrange(512)
        index = min(len(labels) - 1, max(0, position + self.rng.randint(-12, 12)))
        target = labels[index]
        roll = self.rng.random()
        if roll < 0.55:
            return target
        # Jump addends count bytes, two per word: odd ones point inside a
        # word, which the assembler warns about.
        if roll < 0.80:
            return "%s + %d" % (target, 2 * self.rng.randint(1, 3))
        if roll < 0.90:
            # Code label i stands at word i or later, so from the third label
            # on two words back are still in the ROM.
            back = 2 * self.rng.randint(1, 2)
            return "%s %s %d" % (target, "-" if index >= 2 else "+", back)
        return "%s + STEP" % target

    def instruction(self, label_position):
        rng = self.rng
        upper = rng.random() < 0.08
        if rng.random() * 100 < JUMP_WEIGHT:
            mnemonic = spell(rng, rng.choice(JUMPS))
            return "%s %s" % (mnemonic, self.jump_target(label_position))
        name, operands, _ = pick_weighted(rng, REGISTER_OPS, 2)
        mnemonic = name.upper() if upper else spell(rng, name)
        registers = ", ".join(register(rng, upper) for _ in range(operands))
        return "%s %s" % (mnemonic, registers)

    def code_line(self, kind, label, label_position):
        rng = self.rng
        indent = "    "
        if kind == "blank":
            return ""
        if kind == "line_comment":
            return indent + comment(rng)
        if kind == "block_comment":
            return indent + "/* " + rng.choice(COMMENT_TEXTS) + " */"
        if kind == "label_line":
            return label + ":"
        text = self.instruction(label_position)
        if kind == "pair":
            text += " __NEW_LINE__ " + self.instruction(label_position)
        elif kind == "commented_instruction":
            text += "    " + comment(rng)
        if label is not None:
            return "%s: %s" % (label, text)
        return indent + text

    def code_section(self, count):
        plan = self.plan_code(count)
        lines = []
        label_position = 0
        for kind, label in plan:
            if label is not None:
                label_position += 1
            lines.append(self.code_line(kind, label, label_position))
        return lines

    # ---- data section ---------------------------------------------------

    def data_value(self):
        rng = self.rng
        roll = rng.random()
        if roll < 0.30:
            return str(rng.randrange(65536))
        if roll < 0.50:
            return "0x%X" % rng.randrange(65536)
        if roll < 0.60:
            return "-%d" % rng.randrange(1, 1000)
        if roll < 0.70:
            return "(%d << %d) | %d" % (rng.randrange(64), rng.randrange(8), rng.randrange(4))
        if roll < 0.75:
            return "MASK & 0x%X" % rng.randrange(256)
        if roll < 0.80:
            divisor = rng.randrange(1, 16)
            return "%d / %d" % (divisor * rng.randrange(1, 100), divisor)
        if roll < 0.83:
            return "~%d" % rng.randrange(256)
        labels = self.data_labels if rng.random() < 0.5 else self.code_labels
        if not labels:
            return str(rng.randrange(100))
        target = rng.choice(labels)
        if rng.random() < 0.5:
            return target
        return "%s + %d" % (target, rng.randrange(1, 8))

    def data_section(self, count):
        plan = self.plan_data(count)
        lines = []
        for label in plan:
            values = ", ".join(self.data_value() for _ in range(self.rng.randint(1, 8)))
            if self.rng.random() < 0.1:
                values += "    " + comment(self.rng)
            lines.append(("%s: " % label if label else "    ") + values)
        return lines

    # ---- whole program --------------------------------------------------

    def program(self):
        header = [line.format(lines=self.lines, seed=self.seed) for line in HEADER]
        body = self.lines - len(header) - 2  # the two section directives
        data_count = max(1, int(body * DATA_SHARE))
        code_count = body - data_count
        code = self.code_section(code_count)
        # Data rows are planned after the code so they may refer to code labels.
        data = self.data_section(data_count)
        return header + [".text"] + code + [".data"] + data


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("lines", type=int, help="number of lines to write (at least %d)" % MIN_LINES)
    parser.add_argument("-o", "--output", help="output file (default: standard output)")
    parser.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    parser.add_argument("--label-every", type=float, default=8.0,
                        help="one code label per this many instruction lines on average (default 8)")
    args = parser.parse_args(argv)
    if args.lines < MIN_LINES:
        parser.error("lines must be at least %d" % MIN_LINES)
    if args.label_every < 1:
        parser.error("--label-every must be at least 1")

    text = "\n".join(ProgramWriter(args.lines, args.seed, args.label_every).program()) + "\n"
    if args.output:
        with open(args.output, "w", encoding="ascii", newline="\n") as out:
            out.write(text)
    else:
        sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
