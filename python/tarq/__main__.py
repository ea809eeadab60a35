"""Prints the variable catalogue of tarq as a table."""

from __future__ import annotations

import sys

from tarq import list_variables


def format_catalogue(rows: list[tuple[str, str, str]]) -> str:
    header = ("name", "units", "description")
    table = [header] + [(name, units, description) for name, description, units in rows]
    widths = [max(len(row[i]) for row in table) for i in range(2)]
    lines = []
    for i, (name, units, description) in enumerate(table):
        lines.append(f"{name:<{widths[0]}}  {units:<{widths[1]}}  {description}")
        if i == 0:
            lines.append(f"{'-' * widths[0]}  {'-' * widths[1]}  {'-' * len(header[2])}")
    return "\n".join(lines)


def main() -> int:
    rows = list_variables()
    print(format_catalogue(rows))
    print(f"\n{len(rows)} variables")
    return 0


if __name__ == "__main__":
    sys.exit(main())
