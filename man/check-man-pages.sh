#!/usr/bin/env bash
# Checks the manual pages against the programs' --help texts, so that a
# command or an option added to a program without its page (or renamed in
# one of them) is noticed:
#   - every command that "veltrip-cli --help" lists has a subsection
#     ".SS COMMAND" in veltrip-cli.1;
#   - every option a command's --help names appears in that subsection;
#   - every option of "veltrip --help" and "veltrip-sim --help" appears in
#     veltrip.1 and veltrip-sim.1;
#   - each page renders without a warning (when man is installed).
# usage: check-man-pages.sh MANDIR VELTRIP-CLI VELTRIP-SIM VELTRIP
set -uo pipefail
mandir=$1 cli=$2 sim=$3 app=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The page's source as plain text: "\-" as "-", font changes and joins removed.
plain() { sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\c$//' -e 's/\\&//g' "$1"; }
# The lines of one ".SS NAME" subsection, up to the next heading.
section() { plain "$1" | awk -v name="$2" '
    /^\.S[SH] / { if (inside) exit; t = $0; sub(/^\.SS +/, "", t); gsub(/"/, "", t)
                  if ($1 == ".SS" && t == name) { inside = 1; next } }
    inside'; }
# The long options a help text names, --help itself left out: every page
# explains --help once for all.
options() { grep -oE -- '--[a-z][a-z0-9-]*' | grep -vx -- '--help' | sort -u; }
# Whether TEXT (stdin) names OPTION as a whole option, not as a prefix. It
# reads all of its input: grep -q would stop at the first match, and the
# writer's SIGPIPE would fail the pipeline under pipefail.
names() { grep -E -- "(^|[^a-z0-9-])$1([^a-z0-9-]|\$)" >/dev/null; }

# The --help text of a program or command; the failure when it has none.
help_of() {
    local out
    out=$("$@" --help 2>&1) && printf '%s\n' "$out" && return 0
    fail "'$* --help' failed: $out"
    return 1
}

# veltrip-cli: one subsection per command.
help_of "$cli" >/dev/null || exit 1
cli_help=$("$cli" --help)
commands=$(printf '%s\n' "$cli_help" | awk '/^commands:/ { f = 1; next } f && /^  +[a-z]/ { print $1 } f && /^$/ { exit }')
[ -n "$commands" ] || fail "no commands found in 'veltrip-cli --help'"
for command in $commands; do
    text=$(section "$mandir/veltrip-cli.1" "$command")
    if [ -z "$text" ]; then
        fail "veltrip-cli.1 has no subsection '.SS $command'"
        continue
    fi
    help_of "$cli" "$command" >/dev/null || continue
    help=$("$cli" "$command" --help)
    for option in $(printf '%s\n' "$help" | options); do
        printf '%s\n' "$text" | names "$option" \
            || fail "veltrip-cli.1, section $command, does not mention $option"
    done
done
# Subsections for commands the program does not have (yet) are reported,
# not failed: the pages may describe commands that are on their way.
for documented in $(plain "$mandir/veltrip-cli.1" | sed -n 's/^\.SS "\{0,1\}\([a-z][a-z0-9-]*\)"\{0,1\}$/\1/p'); do
    printf '%s\n' "$commands" | grep -qx -- "$documented" \
        || echo "note: veltrip-cli.1 describes '$documented', which 'veltrip-cli --help' does not list"
done

# veltrip and veltrip-sim: every option on their page.
for pair in "veltrip.1:$app" "veltrip-sim.1:$sim"; do
    page=${pair%%:*} program=${pair#*:}
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    help_of "$program" >/dev/null || continue
    help=$("$program" --help 2>/dev/null)
    for option in $(printf '%s\n' "$help" | options); do
        plain "$mandir/$page" | names "$option" || fail "$page does not mention $option"
    done
done

# Every page renders without a warning, as lintian and man(1) read it.
if command -v man >/dev/null; then
    for page in "$mandir"/*.1; do
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
            man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$(basename "$page") renders with warnings: $warnings"
    done
else
    echo "note: man is not installed; the pages' rendering was not checked"
fi

[ "$failures" -eq 0 ] || exit 1
echo "manual pages match the --help texts"
