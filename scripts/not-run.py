#!/usr/bin/env python3
"""Prints one line naming what the test run did not run on this machine, and why.

  not-run.py BUILD32 [BUILD64]

Reads the JUnit results that ctest wrote (BUILD/junit.xml) and the reason that configuring
left for disabled 32-bit Wine tests (BUILD32/wine32-not-run.txt). A test that skipped
itself is named with the first line of its reason (GoogleTest prints it after "Skipped").
"""
import os
import sys
import xml.etree.ElementTree as ET


def results(build):
    path = os.path.join(build, "junit.xml")
    if not os.path.exists(path):
        return None
    return ET.parse(path).getroot().findall("testcase")


def skip_reason(case):
    lines = [l.strip() for l in (case.findtext("system-out") or "").splitlines()]
    for i, line in enumerate(lines[:-1]):
        if line.endswith(": Skipped") and lines[i + 1]:
            return lines[i + 1]
    return "it skipped itself"


def main(argv):
    if len(argv) < 2:
        print("usage: not-run.py BUILD32 [BUILD64]", file=sys.stderr)
        return 2
    build32, build64 = argv[1], argv[2] if len(argv) > 2 else None
    said = []
    cases32 = results(build32)
    if cases32 is None:
        print("Not run on this machine: unknown, ctest wrote no results")
        return 0
    disabled = [c for c in cases32 if c.get("status") == "disabled"]
    if disabled:
        reason_file = os.path.join(build32, "wine32-not-run.txt")
        reason = open(reason_file).read().strip() if os.path.exists(reason_file) else "disabled"
        suite = next((c for c in cases32 if c.get("name") == "win64_suite"), None)
        if suite is None or suite.get("status") != "run":
            fallback = "no 64-bit suite ran them"
        elif suite.find("failure") is None:
            fallback = "the 64-bit suite ran them on the 64-bit build"
        else:
            fallback = "the 64-bit suite that runs them in their place failed"
        said.append(f"32-bit Wine tests ({len(disabled)}): not run, {reason}; {fallback}")
    for label, cases in (("", cases32), (" (64-bit)", results(build64) if build64 else None)):
        for case in cases or []:
            if case.get("status") == "notrun" and case.find("skipped") is not None:
                said.append(f"{case.get('name')}{label}: skipped, {skip_reason(case)}")
    if said:
        print("Not run on this machine: " + "; ".join(said))
    else:
        print("Not run on this machine: nothing, every test ran")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
