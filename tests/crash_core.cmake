# The reporter core tests.
