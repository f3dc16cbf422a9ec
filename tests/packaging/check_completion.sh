#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion of korva-cli offers its commands, a command's options, and serial ports
# where a command takes one: a pseudo-terminal made here stands for the transmitter's port.
set -euo pipefail
source_dir="$1"
bc=/usr/share/bash-completion/bash_completion
[ -f "$bc" ] || { echo "SKIP: bash-completion is missing"; exit 77; }
command -v python3 >/dev/null || { echo "SKIP: python3 is missing"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
source "$bc"
source "$source_dir/packaging/korva-cli.bash-completion"

complete_line() { # the words of a command line, the last one being completed
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _korva_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

[ "$(complete_line korva-cli '' | tr '\n' ' ')" = "diff monitor ports read reset show write " ] ||
    fail "the commands offered: $(complete_line korva-cli '')"
[ "$(complete_line korva-cli re)" = "$(printf 'read\nreset')" ] || fail "'re' does not give read, reset"
[ "$(complete_line korva-cli write /dev/null --no)" = "--no-verify" ] || fail "write's options"
[ "$(complete_line korva-cli show --j)" = "--json" ] || fail "show's options"

# A pty held open by a child for as long as the checks run.
exec {pty_fd}< <(python3 -c 'import os, sys, time; m, s = os.openpty(); print(os.ttyname(s), flush=True); time.sleep(60)')
pty_holder=$!
trap 'kill "$pty_holder" 2>/dev/null || true' EXIT
read -r -u "$pty_fd" pty
[ -e "$pty" ] || fail "no pseudo-terminal"
for command in read monitor reset; do
    grep -qx -- "$pty" <<<"$(complete_line korva-cli "$command" /dev/pts/)" ||
        fail "$command does not complete the port $pty"
done
# After the port, monitor takes nothing, never a second port.
! grep -qx -- "$pty" <<<"$(complete_line korva-cli monitor "$pty" /dev/pts/)" ||
    fail "monitor offers a second port"
echo "PASS: commands, options and the port $pty"
