# Restart and close tests.
