#!/usr/bin/env bash
# Fails on a tracked source that the project's format (.clang-format,
# [tool.black] in pyproject.toml) would change. To format: clang-format -i
# FILES; black FILES.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
git ls-files -z '*.py' | xargs -0 black --check
