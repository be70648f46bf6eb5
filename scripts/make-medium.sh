#!/bin/sh
# Builds a distribution medium in one command: lays out the suite's files with setup and
# brindle for the chosen mode, stops if medium-check finds an error (dot-files taken as
# ordinary entries, as the image shows them), writes the medium (copy mode: an ISO 9660
# image with Joliet names, its files' data in the order setup reads them; in place: a ZIP
# archive with UTF-8 names) beside --out, reads it back with another program than the one
# that wrote it, compares names, sizes and bytes with the laid-out medium, for an image
# prints the read plan and refuses one that needs head movements; then, unless --no-try,
# installs it under Wine as a user would (scripts/try-medium.sh), so that success means "it
# installed". Only then, every packed file still as it was when copied, is it renamed to
# --out: on any failure or interruption (SIGHUP, SIGINT, SIGQUIT, SIGTERM: exit 128 + its
# number) the old --out stays as it was and nothing half-written remains. --out ends in
# .iso (copy mode) or .zip (in place) and names a file or nothing; one run at a time holds it.
#   scripts/make-medium.sh [--copy-mode] [--label NAME] [--install-dir DIR] [--codepage N]
#                          [--programs DIR] [--out FILE] [--no-try] <suite folder>
# <suite folder> holds the suite's files and its start.ini. --programs: where setup.exe,
# setup-copy.exe and brindle.exe are (default build/win32, built when missing);
# MEDIUM_CHECK names the checker (default build/native/medium-check, built when missing).
# The work is done in Python (scripts/lib/make_medium.py), where a signal acts at once.
exec python3 "$(dirname "$0")/lib/make_medium.py" "$0" "$@"
