#!/usr/bin/env python3
"""Fails when a source, or a header of its own folder, includes anything but the C++ standard
library, its own folder's headers and the files named with --allow.

Usage: check_host_free.py --allow FILE... -- COMPILER FLAGS... -- SOURCE...

Each source is compiled with -fsyntax-only -H, which prints every header as it is opened, one dot
per level of nesting. The standard library may include what it likes; only the headers a checked
file names itself are judged.
"""

import os
import subprocess
import sys


def split_arguments(argv):
    first = argv.index("--")
    second = argv.index("--", first + 1)
    allowed = [os.path.realpath(a) for a in argv[:first] if a != "--allow"]
    return allowed, argv[first + 1:second], argv[second + 1:]


def is_standard_header(path):
    # The C++ standard headers: no extension, in a folder of the compiler's C++ library.
    return "/c++/" in path.replace(os.sep, "/") and "." not in os.path.basename(path)


def refusals(source, compiler, allowed):
    own = os.path.dirname(os.path.realpath(source))
    result = subprocess.run(compiler + ["-fsyntax-only", "-H", source],
                            stderr=subprocess.PIPE, text=True, check=False)
    if result.returncode != 0:
        return ["%s does not compile:\n%s" % (source, result.stderr)]
    checked = lambda path: os.path.dirname(path) == own or path in allowed
    stack = [os.path.realpath(source)]
    found = []
    for line in result.stderr.splitlines():
        dots = len(line) - len(line.lstrip("."))
        if dots == 0 or not line[dots:].startswith(" "):
            continue
        header = os.path.realpath(line[dots + 1:])
        del stack[dots:]
        includer = stack[-1]
        stack.append(header)
        if checked(includer) and not (checked(header) or is_standard_header(header)):
            found.append("%s includes %s" % (os.path.relpath(includer), header))
    return found


def main():
    allowed, compiler, sources = split_arguments(sys.argv[1:])
    found = [r for s in sources for r in refusals(s, compiler, allowed)]
    for refusal in found:
        print("not host-neutral: " + refusal, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
