#!/usr/bin/env bash
# Fuzzes the byte receiver and its decoders with libFuzzer for a set time.
#   tools/fuzz/run-fuzz.sh [SECONDS] [JOBS]       (default 600 s, 1 job)
# Installs clang and its sanitizer and fuzzer runtimes when missing, as run.sh and test.sh
# install what they need, then configures a clang build in build-fuzz/ with the whole core
# instrumented (address and undefined-behaviour sanitizers, fuzzer coverage) and runs the
# fuzzer on a copy of the checked-in corpus; new inputs it finds go to build-fuzz/corpus, crashes
# to build-fuzz/.
seconds=${1:-600}
jobs=${2:-1}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts-common.sh"
install_missing clang
# The runtimes come in a package of clang's own version.
install_missing "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
build="$root/build-fuzz"
flags="-fsanitize=address,undefined -fsanitize=fuzzer-no-link -fno-omit-frame-pointer -g -O1"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_FLAGS="$flags" -DVESK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target vesk-fuzz-receiver -j "${BUILD_JOBS:-2}"
mkdir -p "$build/corpus" "$build/fuzz-work"
cp -n "$here"/corpus/* "$build/corpus/" 2>/dev/null || true
# The sound commands write "phonems.pcm" into the current folder.
cd "$build/fuzz-work"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The address sanitizer holds freed memory back (256 MB by default) to catch a late use;
# the inputs are small, so 64 MB covers thousands of them and keeps a long run's memory
# near 200 MB instead of near 600 MB.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}
fuzzer="$build/tools/fuzz/vesk-fuzz-receiver"
if [ "$jobs" -gt 1 ]; then
    exec "$fuzzer" -max_total_time="$seconds" -jobs="$jobs" -workers="$jobs" -print_final_stats=1 \
        -max_len=4096 -artifact_prefix="$build/" "$build/corpus"
fi
exec "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 -artifact_prefix="$build/" \
    "$build/corpus"
