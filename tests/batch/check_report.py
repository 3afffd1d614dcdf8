#!/usr/bin/env python3
"""Checks a run's report against docs/report.schema.json (JSON Schema, draft 2020-12).

usage: check_report.py SCHEMA REPORT
Exit status 0 when the report is valid JSON that the schema accepts, 1 otherwise (each
problem on stderr), 2 when the checker itself cannot run.
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    print("check_report: python3-jsonschema is missing (scripts/install-deps.sh)", file=sys.stderr)
    sys.exit(2)


def main(schema_path, report_path):
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    with open(report_path, "rb") as f:
        raw = f.read()
    try:
        report = json.loads(raw.decode("utf-8"))  # strict: the file must be UTF-8
    except (UnicodeDecodeError, ValueError) as e:
        print(f"check_report: {report_path}: not JSON in UTF-8: {e}", file=sys.stderr)
        return 1
    errors = sorted(jsonschema.Draft202012Validator(schema).iter_errors(report), key=lambda e: list(e.path))
    for e in errors:
        print(f"check_report: {report_path}: /{'/'.join(map(str, e.path))}: {e.message}", file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
