#!/usr/bin/env bash
# Builds the Jet reader's libFuzzer target with clang in its own build folder and runs it for a
# bounded time (FUZZ_SECONDS, default 60), seeded with the shared Jet fixtures when present.
# Exit status non-zero when the build fails or the fuzzer finds a crash, leak or hang.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
shared=${LUMARO_SHARED_DIR:-$root/../shared}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DWITH_FUZZERS=ON -DBUILD_TESTING=OFF -DWITH_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target fuzz_jet_reader -j2

corpus=$(mktemp -d)
artifacts=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
if [ -d "$shared/fixtures/jet" ]; then
  find "$shared/fixtures/jet" -name '*.mdb' -size -300k -exec cp {} "$corpus/" \;
fi
echo "fuzzing the Jet reader for ${seconds}s (crash reproducers go to $artifacts)"
"$build/src/jet/fuzz/fuzz_jet_reader" -max_total_time="$seconds" -max_len=327680 -timeout=10 \
  -rss_limit_mb=1536 -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus"
rm -rf "$artifacts"
