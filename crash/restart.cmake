# Restart and close.
