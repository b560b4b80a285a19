#!/usr/bin/env python3
"""Fails naming every project include that reaches up the layers.

Layers, lowest first; folders of one layer may include each other, and a
folder's subfolders belong to it. tests/ and tools/ may include anything.
"""
import os
import re
import sys

LAYERS = [
    ["foundation"],
    ["compiler", "formulas"],
    ["document", "files", "calc", "fractals", "view3d", "animation"],
    ["ui"],
    ["toolwindows"],
    ["app"],
]
LEVEL = {folder: level for level, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCES = (".h", ".hpp", ".cpp", ".c", ".S", ".rc")


def layer_of(path):
    top = path.replace("\\", "/").split("/", 1)[0]
    return top, LEVEL.get(top)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    upward = []
    for folder in LEVEL:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith(SOURCES):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                _, own = layer_of(rel)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or "/" not in m.group(1):
                            continue  # system headers and same-folder includes
                        target, level = layer_of(m.group(1))
                        if level is not None and level > own:
                            upward.append(f"{rel}:{number}: includes {m.group(1)} ({target} is above {rel.split('/')[0]})")
    for line in upward:
        print(line)
    if upward:
        print(f"check_layers: {len(upward)} upward include(s)")
        return 1
    print("check_layers: no upward include")
    return 0


if __name__ == "__main__":
    sys.exit(main())
