#!/usr/bin/env bash
# The R package: its generated files up to date, installed from the
# repository, then R CMD build and R CMD check on the tarball (the tests
# compare with the CLI of the native build, build/bin/vexal). Fails on any
# ERROR or WARNING and lists the NOTEs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=build-r
python3 tools/gen_r.py --check
rm -rf "$out" && mkdir -p "$out/lib"
export MAKEFLAGS="-j$(nproc)" VEXAL_CLI="$root/build/bin/vexal"

echo "== R CMD INSTALL from the repository"
R CMD INSTALL -l "$out/lib" r/vexal > "$out/install.log" 2>&1 || { tail -30 "$out/install.log"; exit 1; }
want=$("$VEXAL_CLI" call_eur 100 100 1 0.05 0.2 0)
Rscript -e "suppressMessages(library(vexal, lib.loc = '$out/lib')); stopifnot(sprintf('%.17g', call_eur(100, 100, 1, 0.05, 0.2, 0)) == '$want')"

echo "== the docs' R snippets, on the installed package"
R_LIBS="$root/$out/lib" python3 tests/docs_snippets_check.py r

echo "== R CMD build and check"
(cd r/vexal && ./configure)  # copies the library's sources into the package, for the tarball
manual=""
command -v pdflatex >/dev/null || manual=--no-manual
(cd "$out" && R CMD build "$root/r/vexal" && _R_CHECK_FORCE_SUGGESTS_=false R CMD check $manual vexal_*.tar.gz) \
  > "$out/check.log" 2>&1 || { tail -60 "$out/check.log"; exit 1; }
log="$out/vexal.Rcheck/00check.log"
grep -E "^\* .*\.\.\. (NOTE|WARNING|ERROR)" -A8 "$log" || true
grep -E "^Status:" "$log"
if grep -qE "\.\.\. (WARNING|ERROR)" "$log"; then
  echo "R CMD check: WARNING or ERROR (see $log)"
  exit 1
fi
