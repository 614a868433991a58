#!/usr/bin/env python3
"""Fails when a tracked file, text or binary, or a commit message names a
product or maker that Zentrow must not name.

The words are kept as the first 16 hex digits of the SHA-256 of each word in
lower case, so that this test names none of them. Every run first shows that
the check can fail: a canary word, hashed the same way, is planted in a
temporary file and must be found.

  names_test.py SOURCE_DIR
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile

FORBIDDEN = {"3f4a09b92ccf3382", "ee9021c84f33366b"}
CANARY_WORD = b"Qorvantex"
CANARY = hashlib.sha256(CANARY_WORD.lower()).hexdigest()[:16]
WORD = re.compile(rb"[A-Za-z]{4,}")


def named(data, hashes):
    """The hashes of `hashes` that a word of `data` has."""
    found = set()
    for word in set(WORD.findall(data)):
        digest = hashlib.sha256(word.lower()).hexdigest()[:16]
        if digest in hashes:
            found.add(digest)
    return found


def tracked_files(root):
    """Every file of the checkout: git's list, or the tree walked outside git."""
    try:
        out = subprocess.run(["git", "-C", root, "ls-files", "-z"], check=True,
                             capture_output=True).stdout
        return [os.path.join(root, f.decode()) for f in out.split(b"\0") if f]
    except (OSError, subprocess.CalledProcessError):
        files = []
        for top, dirs, names in os.walk(root):
            dirs[:] = [d for d in dirs if d not in (".git", "build")]
            files += [os.path.join(top, n) for n in names]
        return files


def commit_messages(root):
    try:
        return subprocess.run(["git", "-C", root, "log", "--format=%B"], check=True,
                              capture_output=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return b""


def main():
    root = sys.argv[1]
    with tempfile.NamedTemporaryFile() as planted:
        planted.write(b"\x00\x01 made by " + CANARY_WORD + b"\xae \x00")
        planted.flush()
        with open(planted.name, "rb") as f:
            if named(f.read(), {CANARY}) != {CANARY}:
                print("the check missed a planted name: it could not fail")
                return 1

    bad = []
    for path in tracked_files(root):
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            continue  # a file removed from the tree but not yet from git's list
        if named(data, FORBIDDEN):
            bad.append(os.path.relpath(path, root))
    if named(commit_messages(root), FORBIDDEN):
        bad.append("(a commit message)")
    for name in bad:
        print(f"{name} names a product or maker the project must not name")
    print(f"{len(bad)} files name one" if bad else "no tracked file names one")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
