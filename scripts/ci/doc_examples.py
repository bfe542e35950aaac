#!/usr/bin/env python3
"""Builds and runs the complete examples of the README and docs/, as printed.

A block is an example when the line just above its fence is
`<!-- example: NAME -->`, NAME being the file it is saved as.  Each page runs
in a folder of its own, holding copies of the clone's examples/ and python/,
one block after another in the order of the page:

  NAME.sh   run by bash, in one shell session for the whole page: a later
            block sees the variables and folder an earlier one left
  NAME.py   run by python3, NAME.c and NAME.cpp compiled (C99 and C++17,
            warnings as errors, through pkg-config's vok32x) and run
  other     only saved, for a later block to use (a file in a folder, a
            schema); one the folder already holds, from the clone's
            examples/, must be printed as the file is

Every run must succeed.  `<!-- output: NAME -->` above a block gives what the
run of NAME prints, exactly.  Fragments carry no marker and are not run.

Usage: doc_examples.py [--show] --prefix PREFIX --work DIR PAGE...
--show prints each example before what it prints (scripts/demo.sh).
A page other than README.md starts with the installation on PATH, the
library path, pkg-config and Python set; the README sets them itself, as its
reader does, so it starts with HOME pointing at DIR/home, where the caller
has installed the project under vok32/.
"""
import argparse
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys

MARKER = re.compile(r"^<!-- (example|output): (\S+) -->$")
COMPILE = {
    ".c": "cc -std=c99 -Wall -Wextra -Wpedantic -Werror",
    ".cpp": "c++ -std=c++17 -Wall -Wextra -Wpedantic -Werror",
}


def marked_blocks(page):
    """(kind, name, text, line) for every marked block of a page."""
    lines = page.read_text(encoding="utf-8").splitlines()
    blocks = []
    for i, line in enumerate(lines):
        m = MARKER.match(line)
        if not m:
            continue
        if i + 1 >= len(lines) or not lines[i + 1].startswith("```"):
            sys.exit(f"{page}:{i + 1}: a marker must stand just above a fence")
        end = next((j for j in range(i + 2, len(lines)) if lines[j] == "```"), None)
        if end is None:
            sys.exit(f"{page}:{i + 2}: the block is not closed")
        blocks.append((m[1], m[2], "\n".join(lines[i + 2 : end]) + "\n", i + 1))
    return blocks


def command_for(name):
    """The shell command that runs a saved example, or None to only save it."""
    path = pathlib.PurePosixPath(name)
    if len(path.parts) > 1:
        return None
    quoted = shlex.quote(name)
    if path.suffix == ".sh":
        return f"source {quoted}"
    if path.suffix == ".py":
        return f"python3 {quoted}"
    if path.suffix in COMPILE:
        program = shlex.quote("./" + path.stem)
        return (f"{COMPILE[path.suffix]} {quoted} -o {program} "
                f"$(pkg-config --cflags --libs vok32x) && {program}")
    return None


def run_in_session(folder, state, command):
    """Runs command in bash after the state an earlier run left; keeps the new state."""
    saved = shlex.quote(str(state))
    script = (f"set -euo pipefail\nsource {saved}\n{command}\n"
              f"{{ export -p; printf 'cd %q\\n' \"$PWD\"; }} > {saved}\n")
    # Nothing of the caller's environment but PATH: the page sets the rest.
    return subprocess.run(["bash", "-c", script], cwd=folder, capture_output=True, text=True,
                          env={"PATH": os.environ["PATH"]})


def run_page(page, folder, env, show):
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    root = pathlib.Path(__file__).resolve().parents[2]
    for part in ("examples", "python"):
        shutil.copytree(root / part, folder / part, ignore=shutil.ignore_patterns("__pycache__"))
    state = folder.parent / (folder.name + ".state")
    state.write_text("".join(f"export {k}={shlex.quote(v)}\n" for k, v in env.items()))
    blocks = marked_blocks(page)
    expected = {name: text for kind, name, text, _ in blocks if kind == "output"}
    examples = [b for b in blocks if b[0] == "example"]
    for name in expected:
        if name not in {b[1] for b in examples}:
            sys.exit(f"{page}: output for {name}, which is no example")
    for _, name, text, line in examples:
        target = folder / name
        if target.exists() and target.read_text(encoding="utf-8") != text:
            sys.exit(f"{page}:{line}: {name} is not printed as the file is")
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_text(text, encoding="utf-8")
        command = command_for(name)
        if command is None:
            continue
        print(f"--- {page}: {name}", flush=True)
        if show:
            print(text + "---", flush=True)
        done = run_in_session(folder, state, command)
        sys.stdout.write(done.stdout)
        sys.stderr.write(done.stderr)
        if done.returncode != 0:
            sys.exit(f"{page}:{line}: {name} failed with exit status {done.returncode}")
        if name in expected and done.stdout != expected[name]:
            sys.exit(f"{page}:{line}: {name} printed other than the page says:\n{done.stdout}")
    return len(examples)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--show", action="store_true")
    parser.add_argument("--prefix", required=True, type=pathlib.Path)
    parser.add_argument("--work", required=True, type=pathlib.Path)
    parser.add_argument("pages", nargs="+", type=pathlib.Path)
    args = parser.parse_args()
    prefix = args.prefix.resolve()
    home = args.work.resolve() / "home"
    base = {"HOME": str(home), "PATH": os.environ["PATH"], "LANG": "C.UTF-8"}
    installed = {
        "PATH": f"{prefix}/bin:{os.environ['PATH']}",
        "LD_LIBRARY_PATH": f"{prefix}/lib",
        "PKG_CONFIG_PATH": f"{prefix}/lib/pkgconfig",
        "CMAKE_PREFIX_PATH": str(prefix),
        "VOK32_LIBRARY_PATH": f"{prefix}/lib",
    }
    total = 0
    for page in args.pages:
        env = dict(base)
        folder = args.work.resolve() / page.with_suffix("").as_posix().replace("/", "-")
        if page.name != "README.md":
            env.update(installed)
            env["PYTHONPATH"] = str(folder / "python")
        total += run_page(page, folder, env, args.show)
    print(f"{total} examples built or run from {len(args.pages)} pages")


if __name__ == "__main__":
    main()
