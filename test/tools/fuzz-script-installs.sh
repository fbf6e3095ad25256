#!/usr/bin/env bash
# run-fuzz.sh on a machine without clang installs it, with its fuzzer runtime, before it
# builds: the build of the fuzzer needs both.
#   fuzz-script-installs.sh PATH-OF-run-fuzz.sh
set -uo pipefail
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
# A machine with nothing installed, whose package tools only note what they are asked; the
# clang it gets is version 14, and the build stops at once.
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$stubs/$1" && chmod +x "$stubs/$1"; }
stub dpkg-query 'exit 1'
stub apt-get "echo \"\$*\" >>'$stubs/asked'"
stub sudo 'exec "$@"'
stub clang 'echo 14.0.6'
stub cmake 'exit 1'
PATH=$stubs:$PATH bash "$1" 1 >/dev/null 2>&1
for package in clang libclang-rt-14-dev; do
    if ! grep -q "^install .* $package\( \|$\)" "$stubs/asked" 2>/dev/null; then
        echo "FAILED: $package was not installed; asked: $(cat "$stubs/asked" 2>/dev/null)"
        exit 1
    fi
done
echo "passed"
