#!/usr/bin/env python3
"""Lists the C and C++ functions longer than a limit (60 lines by default).

Usage: function_length.py [--max N] [--verbose] PATH...
PATH is a source file or a folder searched for .c, .cc, .cpp and .h files.
A function's length counts its lines from the first line of its signature
to its closing brace. Exits 1 when some function is longer than the limit.
"""
import argparse
import os
import re
import sys

SOURCE_ENDINGS = (".c", ".cc", ".cpp", ".h", ".hpp")
# Heads of braces that open a scope rather than a function body.
SCOPE_HEAD = re.compile(r"\b(namespace|struct|class|union|enum)\b[^()]*$|\bextern\s+\"C\"\s*$")
CONTROL_HEAD = re.compile(r"^(if|for|while|switch|catch|do|else)\b")


def blank_out(text):
    """Comments, strings and character literals become spaces; lines stay."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(" " * (end - i))
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
        elif c == "#":  # a preprocessor line
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(" " * (end - i))
            i = end
        else:
            out.append(c)
            i += 1
    return "".join(out)


def functions(text):
    """Yields (name, first line, last line) of each function body in the text."""
    code = blank_out(text)
    stack = []  # per open brace: None for a scope or block, (name, start) for a function
    head_start = 0  # where the text before the next brace begins
    in_function = 0
    for i, c in enumerate(code):
        if c in ";}" and c != "{":
            if c == "}":
                opened = stack.pop() if stack else None
                if opened is not None:
                    in_function -= 1
                    yield opened[0], opened[1], code.count("\n", 0, i) + 1
            head_start = i + 1
        elif c == "{":
            head = code[head_start:i]
            words = " ".join(head.split())
            is_function = (in_function == 0 and ")" in words and not SCOPE_HEAD.search(words)
                           and not CONTROL_HEAD.match(words) and not words.endswith("=")
                           and "=" not in words.split("(")[0])
            if is_function:
                name = re.findall(r"([~\w:]+)\s*\(", words)
                first = head_start + len(head) - len(head.lstrip())
                stack.append((name[0] if name else "?", code.count("\n", 0, first) + 1))
                in_function += 1
            else:
                stack.append(None)
            head_start = i + 1


def source_files(paths):
    for path in paths:
        if os.path.isfile(path):
            yield path
            continue
        for folder, _, names in sorted(os.walk(path)):
            for name in sorted(names):
                if name.endswith(SOURCE_ENDINGS):
                    yield os.path.join(folder, name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--max", type=int, default=60)
    parser.add_argument("--verbose", action="store_true", help="also list the longest functions")
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    found = []
    for path in source_files(args.paths):
        with open(path, encoding="utf-8", errors="replace") as f:
            for name, first, last in functions(f.read()):
                found.append((last - first + 1, path, first, name))
    found.sort(reverse=True)
    too_long = [f for f in found if f[0] > args.max]
    for length, path, first, name in (found[:10] if args.verbose else too_long):
        print(f"{path}:{first}: {name}: {length} lines")
    print(f"{len(found)} functions, {len(too_long)} longer than {args.max} lines"
          + (f", longest {found[0][0]}" if found else ""))
    return 1 if too_long else 0


if __name__ == "__main__":
    sys.exit(main())
