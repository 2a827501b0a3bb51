#!/usr/bin/env python3
"""Mutation campaign: small faults planted in the source, one at a time,
each rebuilt and run against the tests; a fault no test notices is a
survivor. scripts/mutation.sh is the command to use; this file makes the
mutants and runs them.

Our own generator rather than a packaged tool: the mutation tools for C++
are not packaged for Debian (scripts/install-deps.sh installs from Debian
only), and a few hundred lines over the source text, which know this
code's formatting (binary operators are spaced, comparisons are never
template brackets), make fewer mutants that cannot compile than a generic
tool would.

    mutation.py list   [--seed N] [--count N]      the sample, one per line
    mutation.py run    [--seed N] [--count N] ...  the campaign
    mutation.py run --survivors                    the survivors again, after new tests
    mutation.py score  [--results FILE]            the summary again

A mutant rewrites one place on one line with one operator:
  rel     < <= > >= flipped to their neighbours    eq     == and != swapped
  arith   + - * / % swapped, += -=, ++ --          const  n to n+1, n-1, 0
  bool    true and false swapped                   logic  && and || swapped
  cond    if/while (c) to (!(c))                   not    a unary ! removed
  stmt    a statement (a call, an assignment) deleted
  ret     return c to return !(c), a literal changed, or return {}
Comments, string and character literals, preprocessor lines, assertions
and lines that only declare are never mutated.

Each result (build/mutation/results.jsonl, one JSON object a line) is
  stillborn  it does not compile (left out of the score)
  killed     a test of the fast subset failed or hung (timeout)
  killed-full  the fast subset missed it, the whole suite did not
  survived   the whole suite passes with it
  equivalent a survivor listed in scripts/mutation_equivalent.txt

The equivalents file keys a mutant by its file, a hash of the original
line's text and the mutation, never by its line number alone, so the list
stays valid while code above it moves:
    plugin/x.cc:120: 3f2a9c1d const '0' -> '1' #0 -- reason
Everything after the key is free text.
"""

import argparse
import collections
import hashlib
import json
import os
import random
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "mutation")
STATE = os.path.join(BUILD, "mutants")  # logs, the planted file's backup
EQUIVALENTS = os.path.join(ROOT, "scripts", "mutation_equivalent.txt")
DEFAULT_SEED = 19
DEFAULT_COUNT = 200
FLOOR = 3  # mutants per file at least (where it has that many)

# What is mutated: the plug-in's code, and the engine's tagged file reader,
# writer and record checksum.
SOURCE_DIRS = ["plugin"]
SOURCE_FILES = ["host/engine/zyr_file_loader.cc", "host/engine/zyr_file_saver.cc",
                "host/engine/zyr_checksum.cc"]

# The fast subset, in two steps, each built only when the one before it
# passed (most mutants fall to the first, and a header's mutant then
# rebuilds fewer files): the plug-in's and the engine's own tests; then the
# lifecycle model and the fault catalogue. The fuzz seeds' replays run last.
FAST_STEPS = [
    ["plugin_core_test", "prccall_test", "prccall_module_test", "engine_tests"],
    ["lifecycle_model_test", "fault_test", "fault_module_test", "fault_scene_file_test",
     "fault_replay_channel_file"],
]
FAST_TARGETS = [t for step in FAST_STEPS for t in step]

KEYWORDS = {"return", "delete", "throw", "break", "continue", "goto", "co_return",
            "if", "else", "while", "for", "do", "switch", "case", "default", "new",
            "sizeof", "static_cast", "const_cast", "reinterpret_cast", "dynamic_cast",
            "this", "true", "false", "nullptr", "operator"}
SKIP_LINE = re.compile(r"\b(static_assert|assert|ReportFailedCheck|ReportAssertionFailure)\b")
TOKEN = re.compile(r"\s+|[A-Za-z_]\w*|\d[\w.']*|<<=|>>=|->\*|\.\.\.|::|->|\+\+|--|<=>|"
                   r"<=|>=|==|!=|&&|\|\||\+=|-=|\*=|/=|%=|&=|\|=|\^=|<<|>>|.")


def source_files():
    files = []
    for d in SOURCE_DIRS:
        for dirpath, _, names in os.walk(os.path.join(ROOT, d)):
            for name in sorted(names):
                if name.endswith((".cc", ".h")):
                    files.append(os.path.relpath(os.path.join(dirpath, name), ROOT))
    files += [f for f in SOURCE_FILES if os.path.exists(os.path.join(ROOT, f))]
    return sorted(files)


def mask_source(text):
    """The text with comments, string and character literals blanked (same
    length, newlines kept), so that operators are looked for in code only."""
    out = list(text)
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out[i:j] = " " * (j - i)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out[i:j] = [ch if ch == "\n" else " " for ch in text[i:j]]
            i = j
        elif c == 'R' and text.startswith('R"', i):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            out[i + 1:j] = [ch if ch == "\n" else " " for ch in text[i + 1:j]]
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            # Digit separators (1'000) are not character literals.
            if c == "'" and i > 0 and text[i - 1].isalnum():
                i += 1
                continue
            out[i + 1:j] = " " * (j - i - 1)
            i = j + 1
        else:
            i += 1
    return "".join(out)


def code_masks(masked):
    """For each line, a flag per character: whether it is inside a
    function body (or a lambda's, or another block of statements), as
    opposed to namespace or class scope."""
    result = []
    stack = []  # True for a block of statements
    pending = ""
    for line in masked.split("\n"):
        flags = []
        for tok in TOKEN.findall(line):
            if tok == "{":
                head = pending
                is_scope = (re.search(r"\b(namespace|class|struct|union|enum)\b", head)
                            and "(" not in head) or re.search(r"\bextern\s*$", head)
                is_init = re.search(r"=\s*$", head) and not any(stack)
                stack.append(not is_scope and not is_init)
                pending = ""
            elif tok == "}":
                if stack:
                    stack.pop()
                pending = ""
            elif tok == ";":
                pending = ""
            elif not tok.isspace():
                pending += " " + tok
            flags += [any(stack)] * len(tok)
        result.append(flags)
    return result


IDENT = re.compile(r"[A-Za-z_]\w*$")


def declaration(toks):
    """The token after a declaration's type and name (';', '=', '(', '{'),
    or None when the statement is not a declaration: no statement that is
    not one starts with two names in a row."""
    if not toks or toks[0] in KEYWORDS:
        return None
    idents = 0
    for t in toks:
        if IDENT.match(t) or t in ("::", "<", ">", "*", "&", ",", "&&"):
            if IDENT.match(t) and t not in ("const", "constexpr", "static", "inline"):
                idents += 1
            continue
        return t if idents >= 2 else None
    return None


def declares_only(stripped):
    """A line that only declares: a variable without a value, a function
    or member declaration, a using or typedef, an access label."""
    if re.match(r"(using|typedef|friend|template|public|private|protected)\b", stripped):
        return True
    if stripped.endswith(":") and not stripped.startswith(("case", "default")):
        return True
    toks = [t for t in TOKEN.findall(stripped) if not t.isspace()]
    return declaration(toks) == ";"


def matching_paren(masked_line, open_at):
    depth = 0
    for k in range(open_at, len(masked_line)):
        if masked_line[k] == "(":
            depth += 1
        elif masked_line[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def line_mutations(line, masked, code):
    """(column, old text, new text, operator) for one line; code flags
    each column inside a function body."""
    stripped = masked.strip()
    if not stripped or stripped.startswith("#") or SKIP_LINE.search(masked):
        return []
    if declares_only(stripped):
        return []
    out = []
    # Spaced binary operators: the code is formatted, so a < b is spaced and
    # a template's brackets are not.
    flips = {"<": ("<=", "rel"), "<=": ("<", "rel"), ">": (">=", "rel"), ">=": (">", "rel"),
             "==": ("!=", "eq"), "!=": ("==", "eq"), "&&": ("||", "logic"),
             "||": ("&&", "logic"), "+=": ("-=", "arith"), "-=": ("+=", "arith"),
             "+": ("-", "arith"), "-": ("+", "arith"), "*": ("/", "arith"),
             "/": ("*", "arith"), "%": ("*", "arith")}
    for m in re.finditer(r"(?<=\s)(<=|>=|<|>|==|!=|&&|\|\||\+=|-=|\+|-|\*|/|%)(?=\s)", masked):
        new, kind = flips[m.group(1)]
        out.append((m.start(1), m.group(1), new, kind))
    for m in re.finditer(r"\+\+|--", masked):
        out.append((m.start(), m.group(), "--" if m.group() == "++" else "++", "arith"))
    for m in re.finditer(r"(?<![\w.])(\d+)([uU]?[lL]{0,2})(?![\w.'])", masked):
        out += const_mutations(m)
    for m in re.finditer(r"\b(true|false)\b", masked):
        out.append((m.start(), m.group(), "false" if m.group() == "true" else "true", "bool"))
    for m in re.finditer(r"!(?!=)", masked):
        out.append((m.start(), "!", "", "not"))
    for m in re.finditer(r"\b(if|while)\s*\(", masked):
        open_at = m.end() - 1
        close = matching_paren(masked, open_at)
        if close < 0:
            continue
        cond = line[open_at + 1:close]
        if ";" in masked[open_at:close] or declaration(
                [t for t in TOKEN.findall(masked[open_at + 1:close]) if not t.isspace()]):
            continue  # an init-statement or a declaration
        out.append((open_at, line[open_at:close + 1], "(!(" + cond + "))", "cond"))
    ret = re.search(r"\breturn\s+([^;]+);", masked)
    if ret:
        col = ret.start(1)
        expr = line[col:ret.end(1)].rstrip()
        if expr not in ("true", "false") and not re.fullmatch(r"-?\d+[uUlL]*", expr):
            if re.search(r"==|!=| < | > |<=|>=|&&|\|\||^!", expr):
                out.append((col, expr, "!(" + expr + ")", "ret"))
            elif expr not in ("{}", "nullptr", "*this"):
                out.append((col, expr, "{}", "ret"))
    toks = [t for t in TOKEN.findall(stripped) if not t.isspace()]
    if (stripped.endswith(";") and toks[0] not in ("return", "case", "default", "}", "{")
            and masked.count("(") == masked.count(")") and not declaration(toks)):
        start = len(masked) - len(masked.lstrip())
        end = masked.rstrip().rfind(";") + 1
        if end > start + 1:
            out.append((start, line[start:end], ";", "stmt"))
    # Outside a function body only constants with a value are changed.
    in_code = lambda col: col < len(code) and code[col]
    return [o for o in out if in_code(o[0]) or (o[3] == "const" and "=" in masked)]


def const_mutations(m):
    digits, suffix = m.group(1), m.group(2)
    if not digits.isdigit():
        return []
    n = int(digits)
    col = m.start()
    old = m.group(0)
    news = [str(n + 1)]
    if n > 0:
        news.append(str(n - 1))
    if n > 1:
        news.append("0")
    return [(col, old, new + suffix, "const") for new in dict.fromkeys(news)]


def line_hash(text):
    return hashlib.sha1(text.strip().encode()).hexdigest()[:8]


def all_mutants(path):
    with open(os.path.join(ROOT, path)) as f:
        text = f.read()
    masked = mask_source(text)
    lines, mlines = text.split("\n"), masked.split("\n")
    code = code_masks(masked)
    mutants = []
    seen = collections.Counter()  # the same line and mutation, again in the file
    for no, (line, mline) in enumerate(zip(lines, mlines), start=1):
        for col, old, new, kind in sorted(line_mutations(line, mline, code[no - 1])):
            desc = f"{kind} {old!r} -> {new!r}"
            occurrence = seen[line_hash(line), desc]
            seen[line_hash(line), desc] += 1
            key = f"{path}:{line_hash(line)} {desc} #{occurrence}"
            mutants.append({"file": path, "line": no, "col": col, "old": old, "new": new,
                            "op": kind, "desc": f"{desc} #{occurrence}", "key": key,
                            "hash": line_hash(line)})
    return mutants, sum(1 for flags in code if any(flags))


def sample(seed, count):
    """count mutants over the files in proportion to their lines of code,
    at least FLOOR from each file that has that many."""
    rng = random.Random(seed)
    per_file = {}
    weights = {}
    for path in source_files():
        mutants, size = all_mutants(path)
        if mutants:
            per_file[path] = mutants
            weights[path] = max(size, 1)
    total = sum(weights.values())
    quota = {p: min(len(per_file[p]), max(FLOOR, round(count * weights[p] / total)))
             for p in per_file}
    chosen = []
    for path in sorted(per_file):
        chosen += rng.sample(per_file[path], quota[path])
    # Sources first, headers last, the largest last of all: a header's
    # mutant rebuilds every file that includes it (a minute each), so the
    # quick survivors come early; the mutants of one file stay together, so
    # that putting one back and planting the next is a single rebuild.
    chosen.sort(key=lambda m: (m["file"].endswith(".h"),
                               quota[m["file"]] if m["file"].endswith(".h") else 0))
    for i, m in enumerate(chosen):
        m["id"] = i
    return chosen, {p: len(v) for p, v in per_file.items()}


def load_equivalents():
    keys = {}
    if not os.path.exists(EQUIVALENTS):
        return keys
    with open(EQUIVALENTS) as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            m = re.match(r"([^:\s]+):\d+: (\w{8}) (.*? #\d+) -- (.*)$", line)
            if m:
                keys[f"{m.group(1)}:{m.group(2)} {m.group(3)}"] = m.group(4)
    return keys


# ---- applying a mutant, always undone ----

class Planted:
    """The mutant in place while the block runs; the original back after,
    also on SIGINT, SIGTERM or SIGHUP (mutation.sh restores from the same
    backup should this process be killed outright)."""

    def __init__(self, mutant):
        self.path = os.path.join(ROOT, mutant["file"])
        self.mutant = mutant
        self.backup = os.path.join(STATE, "original")
        self.marker = os.path.join(STATE, "planted")

    def plant(self):
        with open(self.path) as f:
            self.original = f.read()
        lines = self.original.split("\n")
        m = self.mutant
        # The line may have moved since the mutant was recorded: the nearest
        # line of the same text.
        at = min((i for i, l in enumerate(lines) if line_hash(l) == m["hash"]),
                 key=lambda i: abs(i + 1 - m["line"]), default=None)
        if at is None or lines[at][m["col"]:m["col"] + len(m["old"])] != m["old"]:
            raise LookupError(f"{m['file']}:{m['line']}: the mutated line is gone")
        with open(self.backup, "w") as f:
            f.write(self.original)
        with open(self.marker, "w") as f:
            f.write(self.path)
        line = lines[at]
        lines[at] = line[:m["col"]] + m["new"] + line[m["col"] + len(m["old"]):]
        with open(self.path, "w") as f:
            f.write("\n".join(lines))
        return self

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        with open(self.path, "w") as f:
            f.write(self.original)
        os.remove(self.marker)
        return False


def raise_interrupt(signum, _frame):
    raise KeyboardInterrupt(f"signal {signum}")


def run(cmd, timeout, log):
    """(return code or 'timeout', seconds). The whole process group goes
    on a timeout."""
    start = time.monotonic()
    with open(log, "ab") as out:
        out.write(("$ " + " ".join(cmd) + "\n").encode())
        out.flush()
        proc = subprocess.Popen(cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            code = "timeout"
        except BaseException:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            raise
    return code, time.monotonic() - start


def fast_subset(jobs, timeout, log):
    """(status, detail, build seconds): 'stillborn' when a step does not
    build, 'killed' when a test fails or runs past `timeout`, else
    'passed'."""
    build_s = 0.0
    for step in FAST_STEPS:
        code, took = run(["cmake", "--build", BUILD, "-j", str(jobs), "--target"] + step, None, log)
        build_s += took
        if code != 0:
            return "stillborn", f"build: {code}", build_s
        deadline = time.monotonic() + timeout
        for test in step:
            left = deadline - time.monotonic()
            if left <= 0:
                return "killed", "timeout", build_s
            if test.startswith("fault_replay_"):
                cmd = ["ctest", "--test-dir", BUILD, "-R", "^fault_replay_channel_file$"]
            else:
                cmd = [os.path.join(BUILD, "bin", test), "--gtest_fail_fast", "--gtest_brief=1"]
            code, _ = run(cmd, left, log)
            if code != 0:
                return "killed", f"{test}: {code}", build_s
    return "passed", "", build_s


def full_suite(jobs, timeout, log):
    code, _ = run(["cmake", "--build", BUILD, "-j", str(jobs)], None, log)
    if code != 0:
        return f"build: {code}"
    code, _ = run(["ctest", "--test-dir", BUILD, "-j", str(jobs), "--stop-on-failure",
                   "--timeout", str(int(timeout))], None, log)
    return 0 if code == 0 else f"ctest: {code}"


def campaign(args):
    mutants, _ = sample(args.seed, args.count)
    if args.only:
        wanted = set(int(x) for x in args.only.split(","))
        mutants = [m for m in mutants if m["id"] in wanted]
    if args.survivors:
        # Again, after tests were added: the survivors of RESULTS, whose
        # records are replaced.
        rows = load_results(args.results, mutants)
        again = {r["key"] for r in rows if r["status"] in ("survived", "survived-fast")}
        # From the records: the sample changes when the sources do.
        mutants = [{k: r[k] for k in ("id", "file", "line", "col", "old", "new", "op", "desc",
                                      "key", "hash")}
                   for r in rows if r["key"] in again]
        with open(args.results, "w") as f:
            f.writelines(json.dumps(r) + "\n" for r in rows if r["key"] not in again)
        args.resume = True
    if args.limit:
        mutants = mutants[:args.limit]
    equivalents = load_equivalents()
    os.makedirs(os.path.join(STATE, "logs"), exist_ok=True)
    results_path = args.results
    done = set()
    if args.resume and os.path.exists(results_path):
        done = {r["key"] for r in load_results(results_path, mutants)}
    elif not args.resume:
        open(results_path, "w").close()
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, raise_interrupt)
    started = time.monotonic()
    todo = [m for m in mutants if m["key"] not in done]
    print(f"mutation: {len(todo)} mutants (seed {args.seed}), results in {results_path}",
          file=sys.stderr)
    for n, m in enumerate(todo, start=1):
        log = os.path.join(STATE, "logs", f"{m['id']:04d}.log")
        if os.path.exists(log):
            os.remove(log)
        t0 = time.monotonic()
        try:
            planted = Planted(m).plant()
        except LookupError as e:
            print(f"mutation: {e}; skipped", file=sys.stderr)
            continue
        with planted:
            status, detail, build_s = fast_subset(args.jobs, args.timeout, log)
            if status == "passed":
                if args.fast_only:
                    status, detail = "survived-fast", ""
                else:
                    failed = full_suite(args.jobs, args.full_timeout, log)
                    status, detail = ("killed-full", failed) if failed != 0 else ("survived", "")
        if status in ("survived", "survived-fast") and m["key"] in equivalents:
            status, detail = "equivalent", equivalents[m["key"]]
        record = dict(m, status=status, detail=detail, build_seconds=round(build_s, 1),
                      seconds=round(time.monotonic() - t0, 1))
        with open(results_path, "a") as f:
            f.write(json.dumps(record) + "\n")
        elapsed = time.monotonic() - started
        print(f"[{n}/{len(todo)} {elapsed / 60:.0f}m] {status:11} {m['file']}:{m['line']} "
              f"{m['desc']}", file=sys.stderr, flush=True)
    # Leave the build as the sources are.
    run(["cmake", "--build", BUILD, "-j", str(args.jobs), "--target"] + FAST_TARGETS, None,
        os.path.join(STATE, "logs", "final.log"))
    summarize(results_path)


def folder_of(path):
    return "plugin/" if path.startswith("plugin/") else "host/engine/ (files, checksum)"


def load_results(path, mutants=None):
    """The records of a results file, each keyed as the sample keys its
    mutant now (a record written before a change of keys finds its mutant
    by place and text)."""
    if mutants is None:
        mutants, _ = sample(DEFAULT_SEED, DEFAULT_COUNT)
    keys = {(m["file"], m["line"], m["col"], m["old"], m["new"]): m["key"] for m in mutants}
    rows = []
    with open(path) as f:
        for line in f:
            if line.strip():
                r = json.loads(line)
                r["key"] = keys.get((r["file"], r["line"], r["col"], r["old"], r["new"]), r["key"])
                rows.append(r)
    return rows


def summarize(results_path, out=sys.stdout):
    equivalents = load_equivalents()
    rows = load_results(results_path)
    for r in rows:
        if r["status"] in ("survived", "survived-fast") and r["key"] in equivalents:
            r["status"] = "equivalent"
    by = collections.defaultdict(collections.Counter)
    for r in rows:
        by[folder_of(r["file"])][r["status"]] += 1
        by["all"][r["status"]] += 1
    print(f"{'folder':34} {'mutants':>7} {'stillborn':>9} {'killed':>6} {'survived':>8} "
          f"{'equiv':>5} {'killed/all':>11} {'killed/non-eq':>13}", file=out)
    for folder in sorted(by, key=lambda k: (k == "all", k)):
        c = by[folder]
        killed = c["killed"] + c["killed-full"]
        survived = c["survived"] + c["survived-fast"]
        live = killed + survived + c["equivalent"]
        noneq = killed + survived
        print(f"{folder:34} {sum(c.values()):7} {c['stillborn']:9} {killed:6} {survived:8} "
              f"{c['equivalent']:5} {pct(killed, live):>11} {pct(killed, noneq):>13}", file=out)
    survivors = [r for r in rows if r["status"] in ("survived", "survived-fast")]
    if survivors:
        print("\nsurvivors (kill them with a test, or list them in "
              "scripts/mutation_equivalent.txt):", file=out)
        for r in survivors:
            print(f"{r['file']}:{r['line']}: {r['hash']} {r['desc']}", file=out)
    secs = [r["seconds"] for r in rows if r["status"] != "stillborn"]
    if secs:
        print(f"\n{len(rows)} mutants, {sum(r['seconds'] for r in rows) / 60:.1f} min, "
              f"median {sorted(secs)[len(secs) // 2]:.0f} s a compiled mutant", file=out)


def pct(a, b):
    return f"{a}/{b} {100.0 * a / b:.1f}%" if b else "-"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("command", choices=["list", "run", "score"])
    ap.add_argument("--results", default=os.path.join(BUILD, "results.jsonl"),
                    help="the results file (default build/mutation/results.jsonl)")
    ap.add_argument("--seed", type=int, default=DEFAULT_SEED)
    ap.add_argument("--count", type=int, default=DEFAULT_COUNT)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--timeout", type=float, default=30, help="fast subset, seconds (a hang is a kill)")
    ap.add_argument("--full-timeout", type=float, default=600, help="a test of the suite, seconds")
    ap.add_argument("--only", help="ids of the sample to run, comma separated")
    ap.add_argument("--limit", type=int, help="the first N of the sample")
    ap.add_argument("--resume", action="store_true", help="skip mutants already in RESULTS")
    ap.add_argument("--fast-only", action="store_true", help="no whole-suite run for survivors")
    ap.add_argument("--survivors", action="store_true",
                    help="run the survivors of RESULTS again (after new tests), replacing them")
    args = ap.parse_args()
    if args.command == "list":
        mutants, available = sample(args.seed, args.count)
        for m in mutants:
            print(f"{m['id']:4} {m['file']}:{m['line']}: {m['hash']} {m['desc']}")
        counts = collections.Counter(m["file"] for m in mutants)
        for path in sorted(available):
            print(f"# {path}: {counts[path]} of {available[path]}", file=sys.stderr)
        print(f"# {len(mutants)} mutants", file=sys.stderr)
    elif args.command == "run":
        try:
            campaign(args)
        except KeyboardInterrupt as e:
            print(f"mutation: stopped ({e}); the sources are as they were", file=sys.stderr)
            return 130
    else:
        summarize(args.results)
    return 0


if __name__ == "__main__":
    sys.exit(main())
