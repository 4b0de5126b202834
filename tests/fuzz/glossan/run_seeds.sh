#!/bin/sh
# Runs a libFuzzer target for a few seconds from its seed corpus. New
# inputs go to a scratch folder, never into the repository's corpus.
#   run_seeds.sh FUZZER SEED_FOLDER [SECONDS]
set -eu
fuzzer=$1
seeds=$2
seconds=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
  -error_exitcode=1 -timeout_exitcode=1 \
  -artifact_prefix="$work/" "$work/corpus" "$seeds"
