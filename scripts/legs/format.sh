# The sources must be laid out as .clang-format says.
set -euo pipefail
source scripts/common.sh
ensure_packages clang-format
git ls-files -z -- '*.h' '*.cpp' | xargs -0 -r clang-format --dry-run --Werror
echo "format: $(git ls-files -- '*.h' '*.cpp' | wc -l) files clean"
