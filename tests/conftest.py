import sys
from pathlib import Path

# Fixture builders live next to the tests as plain modules.
sys.path.insert(0, str(Path(__file__).resolve().parent))
