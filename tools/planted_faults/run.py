#!/usr/bin/env python3
"""Plants each fault of faults.py in turn, builds the test programs and runs them, the fault's
own subsystem first, until one fails; then takes the fault out again. The programs are the
core's and velmoor-cli's (test_cli, which needs Qt Core and Serial Port for the program it
drives); the window's widget test is left out.

  tools/planted_faults/run.py [--build DIR] [--only 03 17 ...]

Prints one line per fault: which test program and which tests caught it, or MISSED. The tree is
put back as it was after each fault, also when the run is interrupted. About a minute a fault
on two cores (ccache helps a second run)."""
import argparse
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from faults import FAULTS  # noqa: E402


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, text=True, capture_output=True, **kw)


def configure(build):
    args = ["cmake", "-S", ".", "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DVT_WITH_QT=ON",
            "-DVT_WITH_BENCH=OFF"]
    if shutil.which("ccache"):
        args.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    r = run(args)
    if r.returncode:
        sys.exit("configure failed:\n" + r.stdout + r.stderr)


def programs(build):
    r = run(["cmake", "--build", build, "--target", "help"])
    found = set(re.findall(r"^\.\.\. (test_\w+)$", r.stdout, re.M))
    # Not the window's widget test (a long build, for faults of qt/ only), nor Qt's generated steps.
    return sorted(n for n in found if n != "test_qt" and not n.endswith("_autogen"))


def build_targets(build, targets):
    r = run(["cmake", "--build", build, "-j", str(os.cpu_count() or 2), "--target", *targets])
    return r.returncode == 0, r.stdout[-3000:] + r.stderr[-3000:]


def run_program(build, name, timeout):
    # The core's programs are at the top of the build, velmoor-cli's (test_cli) in cli/.
    exe = next((p for p in (pathlib.Path(build) / name, pathlib.Path(build) / "cli" / name) if p.is_file()),
               pathlib.Path(build) / name)
    try:
        r = subprocess.run([str(exe)], cwd=ROOT, text=True, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return f"{name}: ran past {timeout} s"
    if r.returncode == 0:
        return None
    failed = re.findall(r"^\[  FAILED  \] ([A-Za-z_][\w/.]*)", r.stdout, re.M)
    return f"{name}: " + (", ".join(sorted(set(failed))) if failed else f"exit {r.returncode}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=str(ROOT / "build-faults"))
    ap.add_argument("--only", nargs="*")
    ap.add_argument("--timeout", type=int, default=300)
    a = ap.parse_args()
    os.environ.setdefault("CCACHE_BASEDIR", str(ROOT.parent))
    configure(a.build)
    all_programs = programs(a.build)
    ok, log = build_targets(a.build, all_programs)
    if not ok:
        sys.exit("the tree does not build without a fault:\n" + log)
    for name in all_programs:
        if run_program(a.build, name, a.timeout):
            sys.exit(f"{name} fails without a fault: fix that first")
    missed = 0
    for number, what, path, old, new, *caught_by in FAULTS:
        if a.only and number not in a.only:
            continue
        file = ROOT / path
        original = file.read_text()
        if original.count(old) != 1:
            print(f"{number} {what}: its text is not once in {path}; update faults.py", flush=True)
            missed += 1
            continue
        started = time.time()
        # The program that tests the fault's code: named in the entry, or cli/'s or the
        # subsystem's of src/.
        owner = caught_by[0] if caught_by else "test_cli" if path.startswith("cli/") else "test_" + path.split("/")[1]
        order = ([owner] if owner in all_programs else []) + [p for p in all_programs if p != owner]
        caught = None
        try:
            file.write_text(original.replace(old, new))
            for name in order:
                ok, log = build_targets(a.build, [name])
                if not ok:
                    caught = f"{name}: does not build"
                    break
                caught = run_program(a.build, name, a.timeout)
                if caught:
                    break
        finally:
            file.write_text(original)
            # The file is back as it was; its object must be rebuilt from it next time.
            os.utime(file)
        if not caught:
            missed += 1
        print(f"{number} {what} ({path}): {caught or 'MISSED'}  [{time.time() - started:.0f} s]", flush=True)
    print(f"missed: {missed}")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
