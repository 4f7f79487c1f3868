#!/usr/bin/env python3
"""A sample of mutants of Srjoin's own code, each built and put to the tests: how many they kill.

  scripts/mutation-sample.py [--seed N] [--count N] [--build DIR] [--tests REGEX] [FILE...]

Every place where one small change applies (a comparison or a logical operator turned, true and
false swapped, a 1 added or taken away, a statement that calls something dropped) is a candidate;
--count of them (default 40) are drawn with --seed (default 1). Each mutant is made in the
source, built in --build (default build-mutants, configured like scripts/test.sh's build), and
the tests run (ctest, --tests selecting them); it is killed when a test fails or the tests take
more than 5 minutes, and not counted when it does not build. The source is restored after each. FILE... are the sources to mutate
(default: os/os_posix.cpp and every .cpp of textio/, names/ and run/). Two trees compare with
the same seed and count.
"""
import argparse
import os
import pathlib
import random
import re
import subprocess
import sys

TURNS = [(r"==", "!="), (r"!=", "=="), (r"<=", "<"), (r">=", ">"), (r"(?<![<>-])<(?![<=])", "<="),
         (r"(?<![<>-])>(?![>=])", ">="), (r"&&", "||"), (r"\|\|", "&&"), (r"\btrue\b", "false"),
         (r"\bfalse\b", "true"), (r"\+ 1\b", "+ 0"), (r"- 1\b", "- 0")]
CALL = re.compile(r"^\s*(\(void\))?[\w:.>-]+\(.*\);\s*$")


def candidates(path):
    """(line index, replacement line) for every mutant of one source file."""
    lines = path.read_text().splitlines(keepends=True)
    found = []
    for index, line in enumerate(lines):
        code = line.split("//")[0]
        if code.lstrip().startswith(("#", "static_assert", "template")) or "\"" in code:
            continue
        for pattern, replacement in TURNS:
            for match in re.finditer(pattern, code):
                found.append((index, line[:match.start()] + replacement + line[match.end():]))
        if CALL.match(code):
            found.append((index, "\n"))
    return lines, found


def run(command, cwd, timeout):
    """The command's exit status; -1 when it takes longer than timeout seconds, and then it and
    everything it started (a mutant that never ends) are killed."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, 9)
        process.wait()
        return -1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=40)
    parser.add_argument("--build", default="build-mutants")
    parser.add_argument("--tests", default="^(Rows|Runs)/")
    parser.add_argument("files", nargs="*")
    options = parser.parse_args()
    root = pathlib.Path(__file__).resolve().parent.parent
    files = [root / f for f in options.files] or sorted(
        [root / "os/os_posix.cpp"] + [p for d in ("textio", "names", "run")
                                      for p in (root / d).glob("*.cpp")])
    pool = [(path, index, mutant) for path in files for index, mutant in candidates(path)[1]]
    chosen = random.Random(options.seed).sample(pool, min(options.count, len(pool)))
    build = root / options.build
    subprocess.run(["cmake", "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    "-DSRJOIN_TESTS=ON"], check=True, stdout=subprocess.DEVNULL)
    killed = built = 0
    for path, index, mutant in chosen:
        lines = path.read_text().splitlines(keepends=True)
        original = lines[index]
        lines[index] = mutant
        path.write_text("".join(lines))
        try:
            if run(["cmake", "--build", build, "-j2"], root, 600) != 0:
                outcome = "does not build"
            else:
                built += 1
                failed = run(["ctest", "--test-dir", build, "-j2", "--timeout", "60",
                              "--stop-on-failure", "-R", options.tests], root, 300) != 0
                killed += failed
                outcome = "killed" if failed else "LIVES"
        finally:
            lines[index] = original
            path.write_text("".join(lines))
        print(f"{outcome:14} {path.relative_to(root)}:{index + 1}: {mutant.strip()}", flush=True)
    run(["cmake", "--build", build, "-j2"], root, 600)
    print(f"{killed} of {built} mutants that build killed "
          f"({len(chosen)} drawn of {len(pool)}, seed {options.seed})")


if __name__ == "__main__":
    sys.exit(main())
