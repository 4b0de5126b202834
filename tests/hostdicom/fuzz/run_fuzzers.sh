#!/bin/sh
# Builds the host's fuzz targets with clang and runs each on its seed corpus
# for SECONDS. Exits 77 (skipped) when clang is not installed.
#   run_fuzzers.sh BUILD_DIR SECONDS [TARGET]
HERE=$(cd "$(dirname "$0")" && pwd)
exec "$HERE/../../support/run_fuzz_project.sh" "$HERE" "$1" "$2" "${3:-}" volume_assembly_fuzz dicom_stream_fuzz collab_framing_fuzz
