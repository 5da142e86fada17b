# The bug report composer tests.
