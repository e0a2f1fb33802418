#!/usr/bin/env python3
"""Reports the program's size limits: files over 400 lines, functions over 60 lines, classes (not plain
structs) with public data members, and the main window's length. Reads the program's folders only, not
tests, benchmarks or the test fake. Exit status 1 when a limit is passed."""
import pathlib
import re
import sys

ROOMS = ["app", "capture", "ocr", "platform", "recording", "save", "sharing", "store", "support", "targets",
         "webpage"]
root = pathlib.Path(__file__).resolve().parent.parent
files = [p for room in ROOMS for p in sorted((root / room).rglob("*")) if p.suffix in (".cpp", ".h")
         and "/fake/" not in str(p)]


def functions(text):
    """(name, first line, lines) of each function body at namespace level or inside a class."""
    found = []
    lines = text.split("\n")
    depth = 0
    start = None
    head = ""
    for number, line in enumerate(lines, 1):
        code = re.sub(r'"(\\.|[^"\\])*"', '""', re.sub(r"//.*", "", line))
        for char in code:
            if char == "{":
                if start is None and re.search(r"\)\s*(const|override|noexcept|final|\s)*(->[^{]*)?(:[^{]*)?$",
                                               head.strip()) and not re.match(r"\s*(namespace|class|struct|enum|if|for|while|switch)\b", head.strip()):
                    start = (number, depth, re.findall(r"([~\w:]+)\s*\(", head)[:1])
                depth += 1
                head = ""
            elif char == "}":
                depth -= 1
                if start and depth == start[1]:
                    found.append(((start[2] or ["?"])[0], start[0], number - start[0] + 1))
                    start = None
                head = ""
            elif char == ";":
                if start is None:
                    head = ""
            else:
                if start is None:
                    head += char
        if start is None:
            head += " "
    return found


def public_data(text):
    """Names of classes that declare data members in a public section."""
    owners = []
    for match in re.finditer(r"\bclass\s+(\w+)[^;{]*\{", text):
        body_start = match.end()
        depth, i = 1, body_start
        while depth and i < len(text):
            depth += {"{": 1, "}": -1}.get(text[i], 0)
            i += 1
        body = text[body_start:i - 1]
        public = False
        level = 0
        statement = ""
        for line in body.split("\n"):
            stripped = re.sub(r"//.*", "", line).strip()
            if level == 0:
                if re.fullmatch(r"Q_\w+(\(.*\))?", stripped):
                    continue
                if re.match(r"(public|signals)\s*:", stripped):
                    public, statement = True, ""
                    continue
                if re.match(r"(private|protected)(\s+slots)?\s*:", stripped):
                    public, statement = False, ""
                    continue
            if level == 0 and stripped:
                statement += " " + stripped
                if stripped.endswith(";") or stripped.endswith("}") or stripped.endswith("{"):
                    whole = statement.strip()
                    statement = ""
                    if (public and whole.endswith(";") and "(" not in whole and not re.match(
                            r"(using|friend|static|enum|class|struct|typedef|template|Q_|})", whole)):
                        owners.append((match.group(1), whole))
            level += stripped.count("{") - stripped.count("}")
    return owners


failed = False
for path in files:
    text = path.read_text(encoding="utf-8", errors="replace")
    name = path.relative_to(root)
    count = text.count("\n")
    if count > 400:
        print(f"file over 400 lines: {name} ({count})")
        failed = True
    if path.suffix == ".cpp":
        for function, line, length in functions(text):
            if length > 60:
                print(f"function over 60 lines: {name}:{line} {function} ({length})")
                failed = True
    for owner, declaration in public_data(text):
        print(f"public data member: {name} {owner}: {declaration}")
        failed = True
window = root / "app" / "MainWindow.h"
if window.exists():
    total = sum(p.read_text().count("\n") for p in (root / "app").glob("MainWindow.*"))
    print(f"main window (view): {total} lines over MainWindow.h and MainWindow.cpp")
print(f"{len(files)} program files read")
sys.exit(1 if failed else 0)
