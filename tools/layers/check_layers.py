#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer it may not reach.

Usage: check_layers.py RULES SOURCE_ROOT

RULES lists each layer (a path under SOURCE_ROOT: a folder or a single file) and the layers
it includes directly; a layer may include its own files and everything it reaches through
those. Every source file must belong to a layer, so a new folder cannot slip past the check.
Includes written with angle brackets, and quoted ones that name no layer (generated or
system headers), are not the tree's business.
"""

import re
import sys
from pathlib import Path

SOURCE_SUFFIXES = {".h", ".hpp", ".c", ".cc", ".cpp", ".inc"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def read_rules(path):
    direct = {}
    for number, line in enumerate(Path(path).read_text().splitlines(), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        if ":" not in line:
            raise ValueError(f"{path}:{number}: expected 'layer: layers below it'")
        name, below = line.split(":", 1)
        name = name.strip()
        if name in direct:
            raise ValueError(f"{path}:{number}: layer {name} given twice")
        direct[name] = below.split()
    for name, below in direct.items():
        for other in below:
            if other not in direct:
                raise ValueError(f"{path}: layer {name} names {other}, which is no layer")
    return direct


def reachable(direct):
    """Every layer each layer may include, itself included; refuses a circle."""
    reach = {}

    def visit(name, trail):
        if name in trail:
            raise ValueError("the layers include each other in a circle: " + " -> ".join(trail + [name]))
        if name not in reach:
            found = {name}
            for other in direct[name]:
                found |= visit(other, trail + [name])
            reach[name] = found
        return reach[name]

    for name in direct:
        visit(name, [])
    return reach


def layer_of(path, layers):
    """The layer a path under the source root belongs to: the longest matching layer."""
    best = None
    for name in layers:
        if path == name or path.startswith(name + "/"):
            if best is None or len(name) > len(best):
                best = name
    return best


def check(rules_path, root):
    """Returns the list of problems found, one line each."""
    direct = read_rules(rules_path)
    reach = reachable(direct)
    root = Path(root)
    problems = []
    for file in sorted(root.rglob("*")):
        if file.suffix not in SOURCE_SUFFIXES or not file.is_file():
            continue
        relative = file.relative_to(root).as_posix()
        own = layer_of(relative, direct)
        if own is None:
            problems.append(f"{relative}: in no layer (add its folder to {rules_path})")
            continue
        for number, line in enumerate(file.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = layer_of(match.group(1), direct)
            if target is not None and target not in reach[own]:
                problems.append(f"{relative}:{number}: layer {own} includes {match.group(1)} of layer {target}")
    return problems


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    try:
        problems = check(argv[1], argv[2])
    except ValueError as error:
        print(error, file=sys.stderr)
        return 2
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} problem(s) with the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
