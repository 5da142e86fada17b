# The bug report composer (see crash/report/).
