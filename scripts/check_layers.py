#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The layers, bottom to top: util, analysis, store, acquire, engine, shell.
Each includes only its own folder and the folders below it, except the
shell, which reaches the engine only through its public header folder
include/qora/ and may include util/ besides. The page cleaner and PDF
converter in tools/ include only tools/ and util/. Shared test fixtures in
tests/ are checked through the files that include them: a test may include a
fixture only when everything the fixture includes is allowed to that test.
Benchmarks may include anything.

Usage: check_layers.py [SOURCE_ROOT]; prints one line per forbidden include
and exits 1 when there is any.
"""
import os
import re
import sys

LAYERS = ["util", "analysis", "store", "acquire", "engine", "shell"]
PUBLIC = "qora"  # include/qora/: the engine's C entry points
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def allowed(folder):
    """The include folders a file of `folder` may name, with a rule text."""
    if folder == "shell":
        return {"shell", "util", PUBLIC}, "the shell may include only shell/, util/ and qora/"
    if folder == "tools":
        return {"tools", "util"}, "tools/ may include only tools/ and util/"
    rank = LAYERS.index(folder)
    below = set(LAYERS[: rank + 1])
    if folder == "engine":
        below.add(PUBLIC)
    names = ", ".join(LAYERS[: rank + 1]) + (" and qora" if folder == "engine" else "")
    return below, f"{folder}/ may include only {names}"


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as text:
        for number, line in enumerate(text, 1):
            match = INCLUDE.match(line)
            if match:
                yield number, match.group(1)


def expand(root, header, seen):
    """The project includes a tests/ fixture makes, followed through the
    fixtures it includes in turn, as (fixture, line, include) triples."""
    if header in seen:
        return
    seen.add(header)
    path = os.path.join(root, header)
    if not os.path.exists(path):
        return
    for number, name in includes(path):
        if name.startswith("tests/"):
            yield from expand(root, name, seen)
        else:
            yield header, number, name


def check_file(root, relative):
    folder = relative.split("/", 1)[0]
    permitted, rule = allowed(folder)
    problems = []
    for number, name in includes(os.path.join(root, relative)):
        if ".." in name.split("/"):
            problems.append(f"{relative}:{number}: includes \"{name}\": name headers from the source root, without \"..\"")
            continue
        if name.startswith("tests/"):
            for fixture, line, inner in expand(root, name, set()):
                if inner.split("/", 1)[0] not in permitted:
                    problems.append(f"{relative}:{number}: includes \"{name}\", which includes \"{inner}\" "
                                    f"({fixture}:{line}): {rule}")
            continue
        target = name.split("/", 1)[0] if "/" in name else ""
        if target not in permitted:
            problems.append(f"{relative}:{number}: includes \"{name}\": {rule}")
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    root = os.path.abspath(root)
    problems = []
    checked = 0
    for folder in LAYERS + ["tools"]:
        top = os.path.join(root, folder)
        for base, _, files in os.walk(top):
            for name in sorted(files):
                if name.endswith((".cc", ".h")):
                    relative = os.path.relpath(os.path.join(base, name), root)
                    problems.extend(check_file(root, relative))
                    checked += 1
    for problem in problems:
        print("layering: " + problem)
    print(f"layering: {checked} files checked, {len(problems)} forbidden includes")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
