#!/usr/bin/env python3
"""Check a run's output against its source tree before it is timed.

    check_tree.py copy   SOURCE DESTINATION
    check_tree.py encode SOURCE DESTINATION

copy:   the destination holds exactly the source's folders and files, byte for byte.
encode: the same folders and files; every script file (.asp .inc .htm .html .js .vbs)
        holds what the stand-in encoder writes ("ENCODED\\n" + the source bytes), every
        other file is a byte-for-byte copy.
Prints one line per problem (at most 20) and a summary; exit status 1 on any problem.
"""
import os
import sys

SCRIPT_EXTENSIONS = {".asp", ".inc", ".htm", ".html", ".js", ".vbs"}


def tree(root):
    dirs, files = set(), set()
    for here, subdirs, names in os.walk(root):
        rel = os.path.relpath(here, root)
        for d in subdirs:
            dirs.add(os.path.normpath(os.path.join(rel, d)))
        for n in names:
            files.add(os.path.normpath(os.path.join(rel, n)))
    return dirs, files


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("copy", "encode"):
        print(__doc__, file=sys.stderr)
        return 2
    mode, src, dst = sys.argv[1:]
    sdirs, sfiles = tree(src)
    ddirs, dfiles = tree(dst)
    problems = []
    problems += [f"missing folder: {d}" for d in sorted(sdirs - ddirs)]
    problems += [f"extra folder: {d}" for d in sorted(ddirs - sdirs)]
    problems += [f"missing file: {f}" for f in sorted(sfiles - dfiles)]
    problems += [f"extra file: {f}" for f in sorted(dfiles - sfiles)]
    encoded = 0
    for f in sorted(sfiles & dfiles):
        with open(os.path.join(src, f), "rb") as a, open(os.path.join(dst, f), "rb") as b:
            want, got = a.read(), b.read()
        if mode == "encode" and os.path.splitext(f)[1] in SCRIPT_EXTENSIONS:
            want = b"ENCODED\n" + want
            encoded += 1
        if want != got:
            problems.append(f"wrong content: {f}")
    for p in problems[:20]:
        print(p)
    if len(problems) > 20:
        print(f"... and {len(problems) - 20} more")
    print(f"{mode} check: {len(sfiles)} files, {len(sdirs)} folders, {encoded} encoded, "
          f"{len(problems)} problems", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
