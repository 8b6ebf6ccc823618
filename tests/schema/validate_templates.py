#!/usr/bin/env python3
"""Validates every template of the examples and of tests/ against the generated template schema.

A template must validate unless it is listed below as refused on purpose (files the loader
tolerates but that break the format: broken JSON, a top-level array, unknown types or keys).
Usage: validate_templates.py SCHEMA.json SOURCE_DIR
"""
import json
import pathlib
import sys

import jsonschema

# Files that are not templates: runtime data and rendered output.
NOT_TEMPLATES = ("data.json", ".data.json")
NOT_TEMPLATE_FOLDERS = ("golden",)

# Relative to the source folder: the templates the schema must refuse.
REFUSED = {
    "tests/unit/testdata/templates/empty.json",
    "tests/unit/testdata/templates/truncated.json",
    "tests/unit/testdata/templates/invalid_syntax.json",
    "tests/unit/testdata/templates/top_level_array.json",
    "tests/unit/testdata/templates/top_level_string.json",
    # a non-object entry among the objects and a number written "3,5"
    "tests/unit/testdata/templates/older_format.json",
    "tests/cli/check/unknown_types.json",
    "tests/cli/check/typo_keys.json",
}


def templates(source):
    for folder in ("examples", "tests"):
        for path in sorted((source / folder).rglob("*.json")):
            if path.name.endswith(NOT_TEMPLATES) or any(part in NOT_TEMPLATE_FOLDERS for part in path.parts):
                continue
            yield path


def first_error(validator, path):
    try:
        document = json.loads(path.read_text(encoding="utf-8"))
    except ValueError as error:
        return f"not JSON: {error}"
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
    return errors[0].message if errors else None


def main():
    schema = json.loads(pathlib.Path(sys.argv[1]).read_text(encoding="utf-8"))
    source = pathlib.Path(sys.argv[2])
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = []
    checked = 0
    for path in templates(source):
        relative = path.relative_to(source).as_posix()
        error = first_error(validator, path)
        checked += 1
        if relative in REFUSED and error is None:
            failures.append(f"{relative}: accepted, but it breaks the format")
        elif relative not in REFUSED and error is not None:
            failures.append(f"{relative}: {error}")
    missing = [name for name in REFUSED if not (source / name).exists()]
    failures += [f"{name}: listed as refused but missing" for name in missing]
    for failure in failures:
        print(failure)
    print(f"{checked} templates checked, {len(failures)} failures")
    return 1 if failures or checked < 10 else 0


if __name__ == "__main__":
    sys.exit(main())
