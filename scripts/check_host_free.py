#!/usr/bin/env python3
"""Fails when a host-neutral file includes anything but the C++ standard library and other
host-neutral files. The host-neutral files are those directly in the folders named with
--neutral (not in their subfolders).

Usage: check_host_free.py --neutral FOLDER... -- COMPILER FLAGS... -- FILE...

Each file, source or header, is compiled with -fsyntax-only -H, which prints every header as it
is opened, one dot per level of nesting. The standard library may include what it likes; only
the headers a host-neutral file names itself are judged.
"""

import os
import subprocess
import sys


def split_arguments(argv):
    first = argv.index("--")
    second = argv.index("--", first + 1)
    neutral = {os.path.realpath(a) for a in argv[:first] if a != "--neutral"}
    return neutral, argv[first + 1:second], argv[second + 1:]


def is_standard_header(path):
    # The C++ standard headers: no extension, in a folder of the compiler's C++ library.
    return "/c++/" in path.replace(os.sep, "/") and "." not in os.path.basename(path)


def refusals(source, compiler, neutral):
    result = subprocess.run(compiler + ["-fsyntax-only", "-H", source],
                            stderr=subprocess.PIPE, text=True, check=False)
    if result.returncode != 0:
        return ["%s does not compile:\n%s" % (source, result.stderr)]
    checked = lambda path: os.path.dirname(path) in neutral
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
    neutral, compiler, files = split_arguments(sys.argv[1:])
    found = [r for f in files for r in refusals(f, compiler, neutral)]
    for refusal in found:
        print("not host-neutral: " + refusal, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
