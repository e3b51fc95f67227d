#!/usr/bin/env python3
"""Prints one line after a test run: how many tests were skipped and why.

Reads the JUnit file that `ctest --output-junit FILE` writes. Two kinds of
skips are counted: ctest tests that reported a skip (GoogleTest's
GTEST_SKIP), and QtTest functions inside a passing test binary (QSKIP).
Reasons are grouped by their first clause, so "sample pictures not found"
counts the same whichever test said it."""
import collections
import re
import sys
import xml.etree.ElementTree as ET

CORPUS_HINT = ("the sample corpus is ../shared/testdata beside the clone, "
               "or configure with -DKAMELO_TESTDATA=PATH")
QT_SKIP = re.compile(r"^SKIP\s*:\s*\S+\(.*?\)\s*(.*)$")


def gtest_reason(output):
    """The message GoogleTest prints on the line after "...: Skipped"."""
    lines = output.splitlines()
    for i, line in enumerate(lines):
        if line.rstrip().endswith(": Skipped"):
            for following in lines[i + 1:]:
                if following.strip():
                    return following.strip()
            break
    return ""


def clause(reason):
    reason = reason.split(";")[0].strip()
    return reason or "no reason given"


def main(path):
    try:
        suite = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as e:
        print("Skipped tests: unknown (cannot read %s: %s)" % (path, e))
        return 0
    reasons = collections.Counter()
    for case in suite.iter("testcase"):
        output = case.findtext("system-out") or ""
        if case.find("skipped") is not None:
            reasons[clause(gtest_reason(output))] += 1
        elif case.get("status") == "run":
            for line in output.splitlines():
                m = QT_SKIP.match(line.strip())
                if m:
                    reasons[clause(m.group(1))] += 1
    total = sum(reasons.values())
    if total == 0:
        print("Skipped tests: none.")
        return 0
    parts = ["%d %s" % (n, why) for why, n in reasons.most_common()]
    line = "Skipped tests: %d (%s)" % (total, ", ".join(parts))
    if any("sample pictures" in why for why in reasons):
        line += "; " + CORPUS_HINT
    print(line + ".")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: test-summary.py CTEST-JUNIT-FILE")
    sys.exit(main(sys.argv[1]))
