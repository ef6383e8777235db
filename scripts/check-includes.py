#!/usr/bin/env python3
"""Fails when a file includes across the layers of the tree.

Each top-level folder is one layer or one edition. A file may include files of
its own layer and of the layers below it, never of a layer above it or of the
other edition; the portable layers include no platform header at all (the
`_win` and `_posix` files of the report reader are the one place they may).
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

# Layer: the folders whose files it may include.
PORTABLE = ["core", "report"]
WINDOWS = ["windows/base", "windows/registry", "windows/ui", "windows/resources", "windows/app"]
ALLOWED = {
    "core": ["core"],
    "report": ["report"],
    "signature": PORTABLE + ["signature"],
    "validation": PORTABLE + ["signature", "validation"],
    "tools": PORTABLE + ["signature", "validation", "tools"],
    "bench": PORTABLE + ["signature"],
    "fuzz": PORTABLE + ["signature"],
    "windows/base": ["core", "windows/base"],
    "windows/registry": ["core", "windows/base", "windows/registry"],
    "windows/ui": ["core", "signature", "validation", "windows/base", "windows/registry",
                   "windows/resources", "windows/ui"],
    "windows/resources": ["windows/resources"],
    "windows/app": PORTABLE + ["signature", "validation"] + WINDOWS,
    "windows/installer": ["windows/installer"],
    "linux": PORTABLE + ["signature", "validation", "linux"],
    "tests/core": PORTABLE + ["tests/core"],
    "tests/report": PORTABLE + ["tests/report"],
    "tests/signature": PORTABLE + ["signature", "tests/signature"],
    "tests/validation": PORTABLE + ["signature", "validation", "tests/signature", "tests/validation"],
    "tests/windows": PORTABLE + ["signature"] + WINDOWS + ["tests/windows"],
    "tests/linux": PORTABLE + ["signature", "linux", "tests/linux"],
    "tests": ["tests"],
}
WINDOWS_HEADERS = re.compile(r"<(windows|winreg|shellapi|shlobj|commctrl|objbase|winuser|winnt|io|direct|bcrypt|wincrypt|ncrypt)\.h>", re.I)
LINUX_HEADERS = re.compile(r"<(gtk|gio|glib|gdk)[/.-]|<(unistd|fcntl|iconv)\.h>|<sys/")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"][^>"]+[>"])')
SOURCES = (".c", ".cpp", ".h", ".hpp", ".rc")


def layer_of(rel):
    parts = rel.split("/")
    for depth in (2, 1):
        key = "/".join(parts[:depth])
        if key in ALLOWED and len(parts) > depth:
            return key
    return None


def check(path):
    rel = path.relative_to(ROOT).as_posix()
    layer = layer_of(rel)
    if layer is None:
        return []
    portable = layer in ("core", "report", "signature", "validation", "tools", "bench", "fuzz",
                         "tests/core", "tests/report", "tests/signature", "tests/validation")
    platform_file = path.stem.endswith(("_win", "_linux", "_posix"))
    problems = []
    for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        target = match.group(1)
        where = f"{rel}:{number}: {target}"
        if target.startswith("<"):
            windows_header = WINDOWS_HEADERS.search(target)
            linux_header = LINUX_HEADERS.search(target)
            if portable and not platform_file and (windows_header or linux_header):
                problems.append(f"{where}: a platform header in the portable layer {layer}")
            elif layer.split("/")[-1] == "linux" and windows_header:
                problems.append(f"{where}: a Windows header in the Linux edition")
            elif "windows" in layer.split("/") and linux_header:
                problems.append(f"{where}: a Linux header in the Windows edition")
            continue
        name = target[1:-1]
        local = (path.parent / name)
        template = path.parent / (name + ".in")  # a header CMake generates from it
        if not local.exists() and template.exists():
            local = template
        resolved = local.resolve() if local.exists() else (ROOT / name).resolve()
        try:
            target_rel = resolved.relative_to(ROOT).as_posix()
        except ValueError:
            problems.append(f"{where}: outside the tree")
            continue
        target_layer = layer_of(target_rel)
        if target_layer is None or not any(
            target_rel == a or target_rel.startswith(a + "/") for a in ALLOWED[layer]
        ):
            problems.append(f"{where}: {layer} may not include {target_layer or target_rel}")
    return problems


def main():
    files = [p for p in ROOT.rglob("*") if p.suffix in SOURCES and p.is_file()
             and not p.relative_to(ROOT).parts[0] in ("build", "dist", "debian", ".git")]
    problems = [problem for f in sorted(files) for problem in check(f)]
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"include check: {len(files)} files, {len(problems)} crossing(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
