#!/usr/bin/env bash
# Checks that the C++ lines changed on this branch follow .clang-format: the lines changed
# since the branch left origin/main (or, without that, since the previous commit), plus
# uncommitted changes. Untouched lines are not judged. Prints what clang-format would
# change and fails when that is anything.
#   check-format.sh [BASE]   compare with another commit instead
set -euo pipefail
cd "$(dirname "$0")/.."
command -v git-clang-format >/dev/null || { echo "git-clang-format is missing (scripts/install-deps.sh)" >&2; exit 1; }
git rev-parse --git-dir >/dev/null 2>&1 || { echo "format check: not a git checkout, skipped"; exit 0; }

base=${1:-}
if [[ -z "$base" ]]; then
  if git rev-parse -q --verify origin/main >/dev/null; then
    base=$(git merge-base origin/main HEAD)
  elif git rev-parse -q --verify HEAD~1 >/dev/null; then
    base=HEAD~1
  else
    echo "format check: no earlier commit to compare with, skipped"
    exit 0
  fi
fi
# When the branch is origin/main itself, judge its newest commit.
if [[ "$(git rev-parse "$base")" == "$(git rev-parse HEAD)" ]] && git rev-parse -q --verify HEAD~1 >/dev/null; then
  base=HEAD~1
fi

out=$(git clang-format --binary "$(command -v clang-format)" --diff --extensions cpp,h "$base" -- src tests bench tools 2>&1) || true
case "$out" in
  ""|"no modified files to format"|"clang-format did not modify any files")
    echo "format check: changed lines since $(git rev-parse --short "$base") follow .clang-format"
    ;;
  *)
    echo "$out"
    echo "format check: the changed lines above do not follow .clang-format (git clang-format $base fixes them)" >&2
    exit 1
    ;;
esac
