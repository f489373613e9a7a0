"""Waiting for a condition, shared by the measurement scripts in bench/."""
import time


def wait_for(predicate, timeout=10.0, step=0.005):
    """The predicate's first true value within timeout seconds, else None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None
