#!/usr/bin/env python3
"""Checks the include graph of src/: no cycles between files, folders only include downwards.

A .cpp and the .h of the same name are one unit (a class and its implementation). Includes are
written relative to src/ ("document/QuiltmarkDoc.h"); system and Qt headers are ignored.

The folder floors are listed in FLOORS, top to bottom: a folder may include its own files and
any folder on a lower floor, never one on a higher or the same floor. Exit status 1 on a cycle
or a forbidden include, with each one listed; --report prints the folder-pair counts as well.
"""
import argparse
import os
import re
import sys
from collections import defaultdict

# Top to bottom. Folders on one line share a floor and must not include each other.
FLOORS = [
    ["app"],  # main.cpp only: chooses the window or the batch run
    ["app/gui"],
    ["shell"],
    ["view"],
    ["dialogs", "devices/gui"],
    ["shell/toolkit"],
    ["app/cli"],
    ["document"],
    ["formats"],
    ["document/section"],
    ["devices"],
    ["app/library"],
    ["app/base"],
]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(path):
    return os.path.dirname(path)


def unit_of(path):
    return os.path.splitext(path)[0]


def read_graph(src):
    """Returns {unit: set(unit)} and {(from_folder, to_folder): count} over every file in src."""
    units = defaultdict(set)
    folder_pairs = defaultdict(int)
    for root, _, files in os.walk(src):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            full = os.path.join(root, name)
            rel = os.path.relpath(full, src)
            with open(full, encoding="utf-8", errors="replace") as f:
                text = f.read()
            here = unit_of(rel)
            units[here]
            for target in INCLUDE.findall(text):
                if not os.path.exists(os.path.join(src, target)):
                    continue  # generated headers and the like
                there = unit_of(target)
                if there != here:
                    units[here].add(there)
                    a, b = folder_of(rel), folder_of(target)
                    if a != b:
                        folder_pairs[(a, b)] += 1
    return units, folder_pairs


def cycles(units):
    """Strongly connected components with more than one unit (Tarjan, iterative)."""
    index, low, on_stack, stack, result = {}, {}, set(), [], []
    counter = [0]
    for start in sorted(units):
        if start in index:
            continue
        work = [(start, iter(sorted(units[start])))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(units.get(child, ())))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    top = stack.pop()
                    on_stack.discard(top)
                    component.append(top)
                    if top == node:
                        break
                if len(component) > 1:
                    result.append(sorted(component))
    return result


def floor_of(folder):
    # The deepest listed folder that contains this one decides ("app/gui/x" -> "app/gui").
    best, best_len = None, -1
    for level, names in enumerate(FLOORS):
        for name in names:
            if (folder == name or folder.startswith(name + "/")) and len(name) > best_len:
                best, best_len = level, len(name)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("src", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", "src"))
    parser.add_argument("--report", action="store_true", help="print folder-pair counts")
    args = parser.parse_args()

    units, folder_pairs = read_graph(args.src)
    failures = 0

    for component in cycles(units):
        print("include cycle: " + " -> ".join(component))
        failures += 1

    for (a, b), count in sorted(folder_pairs.items()):
        fa, fb = floor_of(a), floor_of(b)
        if fa is None or fb is None:
            print(f"folder not in the floor list: {a if fa is None else b}")
            failures += 1
        elif fb <= fa:
            print(f"upward include: {a} -> {b} ({count})")
            failures += 1

    mutual = sorted({tuple(sorted(p)) for p in folder_pairs if (p[1], p[0]) in folder_pairs})
    if args.report:
        for (a, b), count in sorted(folder_pairs.items()):
            print(f"{a} -> {b}: {count}")
        print(f"{len(mutual)} folder pairs include each other")
    for a, b in mutual:
        print(f"folders include each other: {a} <-> {b} "
              f"({folder_pairs[(a, b)]}/{folder_pairs[(b, a)]})")

    print(f"{len(units)} units, {failures} problem(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
