"""The browser tests' failed checks: each is printed when it happens and the test goes on,
so one run shows every fault; the test's exit status comes from the list at the end."""

import sys

failures = []


def check(condition, text):
    if not condition:
        failures.append(text)
        print(f"FAIL: {text}", file=sys.stderr)
    return condition


def verdict(what, passed, shots=None, problems=()):
    """The test's exit status, with its last line: what reached the browser's console counts
    as a failure, then the failures are counted, or the passed line printed."""
    for problem in problems:
        check(False, f"browser console: {problem}")
    if failures:
        where = f"; screenshots in {shots}" if shots else ""
        print(f"{len(failures)} {what} check(s) failed{where}", file=sys.stderr)
        return 1
    print(passed)
    return 0
