#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Velmaris developers
# SPDX-License-Identifier: GPL-2.0-or-later
"""The program's folders stay in layers: the composition root above the main
window, the main window above the other windows and their core, the shared
helpers at the bottom. No two files include each other, no folder includes
one above it, and no window touches another window's controls."""

import collections
import os
import re
import sys

# Each folder, and those it may include from besides itself.
ALLOWED = {
    "program": {"app", "main_window", "reactions", "conditions", "settings", "statistics",
                "viewer", "detection"},
    "main_window": {"app", "reactions", "conditions", "settings", "statistics", "viewer"},
    "reactions": {"app", "conditions", "statistics"},
    # The detection window shows its star on the main window's star field,
    # and its chart comes from the reactions' charts module.
    "detection": {"app", "main_window", "reactions", "conditions", "statistics"},
    "conditions": {"app"},
    "settings": {"app"},
    "statistics": {"app"},
    "viewer": {"app"},
    "app": set(),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
# A window's generated controls reached through another object.
FOREIGN_UI = re.compile(r"\b\w+\s*->\s*ui\s*\.")


def main(top):
    faults = []
    includes = {}
    for folder in ALLOWED:
        place = os.path.join(top, folder)
        for name in sorted(os.listdir(place) if os.path.isdir(place) else []):
            if name.endswith((".cpp", ".h")):
                path = f"{folder}/{name}"
                with open(os.path.join(top, path), encoding="utf-8") as source:
                    text = source.read()
                includes[path] = [i for i in INCLUDE.findall(text)
                                  if os.path.exists(os.path.join(top, i))]
                for line, content in enumerate(text.splitlines(), 1):
                    if FOREIGN_UI.search(content):
                        faults.append(f"{path}:{line}: another window's controls: {content.strip()}")
    units = collections.defaultdict(set)
    for path, targets in includes.items():
        folder = path.split("/")[0]
        for target in targets:
            above = target.split("/")[0]
            if above != folder and above not in ALLOWED[folder]:
                faults.append(f"{path}: includes {target}, from a folder above it")
            if os.path.splitext(target)[0] != os.path.splitext(path)[0]:
                units[os.path.splitext(path)[0]].add(os.path.splitext(target)[0])
    for unit, targets in sorted(units.items()):
        for target in sorted(targets):
            if unit < target and unit in units.get(target, ()):
                faults.append(f"{unit} and {target} include each other")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
