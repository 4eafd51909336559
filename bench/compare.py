#!/usr/bin/env python3
"""Compares vexilon-cli with PicoLisp and newLISP on the shared benchmark
programs, the way their README says: every (language, program) pair runs as a
fresh process once per round, in a shuffled order, so the languages share the
machine's noise; the figure is the median over the rounds of user+system CPU
time minus the same language's median start-up CPU time (net CPU). Peak
resident memory is the largest of the rounds. Ratios are taken within one run.

    bench/compare.py CLI PROGRAMS [rounds]

CLI is the vexilon-cli to run, PROGRAMS the folder holding vexilon/,
picolisp/ and newlisp/. Each vexilon/*.lsp holds top-level forms, given to
vexilon-cli one -e per form, in order, from a folder holding the start-up
library. A language whose interpreter is not installed is left out.
"""
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile

PROGRAMS = [("fib", "fib 25"), ("tak", "tak 18 12 6"), ("list", "list 100,000"),
            ("queens", "8 queens"), ("loop", "loop 1,000,000 at top level")]


def vexilon_forms(path):
    """The top-level forms of a file, each as its own text."""
    text = open(path, encoding="utf-8").read()
    forms, depth, start = [], 0, None
    for i, c in enumerate(text):
        if c == "(":
            if depth == 0:
                start = i
            depth += 1
        elif c == ")":
            depth -= 1
            if depth == 0:
                forms.append(" ".join(text[start:i + 1].split()))
    return forms


def commands(cli, folder):
    """For each language installed: (program name or "empty") -> argv."""
    langs = {"Vexilon": {}}
    for name, _ in PROGRAMS:
        argv = [cli]
        for form in vexilon_forms(os.path.join(folder, "vexilon", name + ".lsp")):
            argv += ["-e", form]
        langs["Vexilon"][name] = argv
    langs["Vexilon"]["empty"] = [cli]
    if shutil.which("picolisp"):
        lib = "/usr/lib/picolisp/lib.l"
        langs["PicoLisp"] = {n: ["picolisp", lib, os.path.join(folder, "picolisp", n + ".l")]
                             for n in [p for p, _ in PROGRAMS] + ["empty"]}
    if shutil.which("newlisp"):
        langs["newLISP"] = {n: ["newlisp", "-n", os.path.join(folder, "newlisp", n + ".lsp")]
                            for n in [p for p, _ in PROGRAMS] + ["empty"]}
    return langs


def run_once(argv, cwd):
    """CPU ms (user+system), peak resident MB, page faults and standard output
    of a run.
    The peak comes from /usr/bin/time, which sees the program only: the
    process this script forks has this script's memory until its exec."""
    peak_file = os.path.join(cwd, ".peak")
    with subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file] + argv,
                          cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL) as p:
        out = p.stdout.read().decode("utf-8", "replace")
        _, status, usage = os.wait4(p.pid, 0)
        p.returncode = status
    cpu = (usage.ru_utime + usage.ru_stime) * 1000.0
    peak = int(open(peak_file).read().split()[-1]) / 1024.0
    return cpu, peak, usage.ru_minflt + usage.ru_majflt, out.strip()


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    cli, folder = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 9
    library = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "vexsys.LSP")
    langs = commands(cli, folder)
    cpu = {(l, n): [] for l in langs for n in langs[l]}
    peak = {(l, n): 0.0 for l in langs for n in langs[l]}
    faults = {(l, n): [] for l in langs for n in langs[l]}
    answer = {}
    with tempfile.TemporaryDirectory() as work:
        os.makedirs(os.path.join(work, "src"))
        shutil.copy(library, os.path.join(work, "src"))
        for _ in range(rounds):
            pairs = list(cpu)
            random.shuffle(pairs)
            for lang, name in pairs:
                ms, mb, flt, out = run_once(langs[lang][name], work)
                cpu[(lang, name)].append(ms)
                faults[(lang, name)].append(flt)
                peak[(lang, name)] = max(peak[(lang, name)], mb)
                answer[(lang, name)] = out.splitlines()[-1] if out else ""

    def net(lang, name):
        return max(statistics.median(cpu[(lang, name)]) -
                   statistics.median(cpu[(lang, "empty")]), 0.01)

    def net_faults(name):
        return (statistics.median(faults[("Vexilon", name)]) -
                statistics.median(faults[("Vexilon", "empty")]))

    others = [l for l in ("PicoLisp", "newLISP") if l in langs]
    head = ["program", "Vexilon ms", "Vexilon peak MB", "Vexilon page faults"] + [f"{l} ms" for l in others]
    if "PicoLisp" in langs:
        head.append("Vexilon / PicoLisp")
    if "newLISP" in langs:
        head.append("newLISP / Vexilon")
    print(f"net CPU and page faults, medians of {rounds} rounds, start-up subtracted")
    print("| " + " | ".join(head) + " |")
    print("|" + "---|" * len(head))
    for name, title in PROGRAMS:
        v = net("Vexilon", name)
        row = [title, f"{v:.1f}", f"{peak[('Vexilon', name)]:.1f}", f"{net_faults(name):.0f}"]
        row += [f"{net(l, name):.1f}" for l in others]
        if "PicoLisp" in langs:
            row.append(f"{v / net('PicoLisp', name):.2f}")
        if "newLISP" in langs:
            row.append(f"{net('newLISP', name) / v:.2f}")
        print("| " + " | ".join(row) + " |")
    starts = ", ".join(f"{l} {statistics.median(cpu[(l, 'empty')]):.1f} ms" for l in langs)
    print(f"start-up CPU (median): {starts}; Vexilon peak "
          f"{peak[('Vexilon', 'empty')]:.1f} MB")
    print("Vexilon answers: " + ", ".join(f"{n} {answer[('Vexilon', n)]}" for n, _ in PROGRAMS))


if __name__ == "__main__":
    main()
