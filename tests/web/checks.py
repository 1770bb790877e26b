"""The browser tests' failed checks: each is printed when it happens and the test goes on,
so one run shows every fault; the test's exit status comes from the list at the end."""

import sys

failures = []


def check(condition, text):
    if not condition:
        failures.append(text)
        print(f"FAIL: {text}", file=sys.stderr)
    return condition
