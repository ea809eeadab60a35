"""`python -m tarq`: see `python -m tarq --help`."""

import sys

from tarq.cli import main

if __name__ == "__main__":
    sys.exit(main())
