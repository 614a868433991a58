#!/usr/bin/env python3
"""Every command example of README.md and of the manual runs as written.

The examples are taken from the documents themselves: README's code spans
that run plughost on named files, and the manual's EXAMPLES. Each runs, in
the order the document gives it, in a folder holding the files they name
(copies of the sample palettes of samples/, as README says to make them),
and must end with the status its words imply: 0, unless the
table below says otherwise and why. An example that goes stale fails here.

  examples_test.py PLUGHOST README MANUAL SAMPLES
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Examples that end otherwise, on purpose, and why.
EXPECTED = {
    # The doll's palette holds 1,024 colours: opened whole it is refused,
    # and probe says a file does not open with status 1.
    "plughost probe *.kcf": 1,
}


def readme_examples(path):
    text = open(path, encoding="utf-8").read()
    found = []
    for span in re.findall(r"`((?:plughost )?(?:open|save|probe) [^`]*)`", text, re.S):
        command = " ".join(span.split())
        # Named files, not a synopsis of FILE and IMAGE.
        if re.search(r"[a-z0-9*]\.(kcf|png|gpl|pal|ppm)\b", command) and not re.search(
                r"\b[A-Z]{2,}\b", command):
            found.append(command if command.startswith("plughost ") else "plughost " + command)
    return found


def manual_examples(path):
    text = open(path, encoding="utf-8").read()
    section = text.split(".SH EXAMPLES", 1)[1].split("\n.SH ", 1)[0]
    return [line[3:].replace("\\-", "-") for line in section.splitlines() if line.startswith(".B plughost ")]


def fixture(folder, samples):
    for source in sorted(glob.glob(os.path.join(samples, "*.kcf")) + glob.glob(os.path.join(samples, "*.cnf")) +
                         glob.glob(os.path.join(samples, "*.cel"))):
        shutil.copyfile(source, os.path.join(folder, os.path.basename(source)))
        os.chmod(os.path.join(folder, os.path.basename(source)), 0o644)


def run(plughost, command, folder):
    words = command.split()[1:]
    expanded = []
    for word in words:
        matches = sorted(glob.glob(os.path.join(folder, word))) if "*" in word else []
        expanded += [os.path.relpath(m, folder) for m in matches] or [word]
    done = subprocess.run([plughost] + expanded, cwd=folder, capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def main():
    plughost, readme, manual, samples = sys.argv[1:5]
    failures = 0
    for document, examples in (("README.md", readme_examples(readme)),
                               ("the manual", manual_examples(manual))):
        if len(examples) < 5:
            print(f"{document}: only {len(examples)} examples found; the extractor no longer reads it")
            failures += 1
        with tempfile.TemporaryDirectory() as folder:
            fixture(folder, samples)
            for command in examples:
                status, said = run(plughost, command, folder)
                wanted = EXPECTED.get(command, 0)
                if status == wanted:
                    print(f"ok   {document}: {command}")
                    continue
                print(f"FAIL {document}: {command}: status {status}, not {wanted}\n{said}")
                failures += 1
    print(f"{'no' if failures == 0 else failures} stale examples")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
