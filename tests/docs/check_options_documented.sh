#!/bin/bash
# Every option a program's --help prints has an entry of its own in the manual page (a
# heading after .TP), with the values --help lists for it; the scanner's options are also
# completed by its bash completion, with those values, and named in README.
#
# Usage: check_options_documented.sh SCAN_BINARY WINDOW_BINARY SOURCE_DIR
set -u
scan=$1 window=$2 source=$3
failures=0

fail() {
    echo "$1" >&2
    failures=$((failures + 1))
}

# Option names in a --help text: on the lines of its option column ("  -x, --name VALUE  text"),
# the words of the fields that begin with a dash (fields stand two spaces or more apart).
options_in() {
    grep -E '^  -' | sed -E 's/ {2,}/\n/g' | grep -E '^-' |
        grep -oE -- '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | grep -oE -- '--?[a-zA-Z][a-zA-Z-]*' | sort -u
}

# "OPTION VALUE" for every value --help lists as a|b|c after an option (":..." cut off).
values_in() {
    grep -oE -- '--?[a-z][a-z-]* [a-z]+(\|[a-z]+)+' | while read -r option values; do
        tr '|' '\n' <<<"$values" | sed "s/^/$option /"
    done | sort -u
}

# The headings of a manual page's entries, with the roff escapes taken out.
headings_of() {
    awk 'previous == ".TP" { print } { previous = $0 }' "$1" |
        sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/^\.[A-Z]* //' -e 's/"//g'
}

check_program() {
    local name=$1 help=$2 page=$3 completion=${4:-} readme=${5:-}
    local headings option value
    headings=$(headings_of "$page")
    while read -r option; do
        grep -qE -- "(^|[ ,\[])$option([ ,=\[]|$)" <<<"$headings" ||
            fail "$name: the manual page has no entry for $option"
        if [[ -n $completion ]]; then
            grep -qE -- "(^|[ (|])$option([ =)|]|$)" "$completion" ||
                fail "$name: the bash completion does not complete $option"
        fi
        if [[ -n $readme ]]; then
            grep -qE -- "(^|[^a-zA-Z-])$option([^a-zA-Z-]|$)" "$readme" ||
                fail "$name: README does not name $option"
        fi
    done < <(options_in <<<"$help" | grep -vxE -- '-h|--help|--version')
    while read -r option value; do
        grep -E -- "(^|[ ,])$option( |$)" <<<"$headings" | grep -qw -- "$value" ||
            fail "$name: the manual page's entry for $option does not name $value"
        if [[ -n $completion ]]; then
            grep -qw -- "$value" "$completion" ||
                fail "$name: the bash completion does not offer $value for $option"
        fi
    done < <(values_in <<<"$help")
}

scan_help=$("$scan" --help) || fail "vintrel2-scan --help failed"
window_help=$(QT_QPA_PLATFORM=offscreen "$window" --help) || fail "vintrel2 --help failed"
[[ $(options_in <<<"$scan_help" | wc -l) -gt 20 ]] || fail "too few options read from vintrel2-scan --help"
check_program vintrel2-scan "$scan_help" "$source/data/man/vintrel2-scan.1.in" \
    "$source/data/completion/vintrel2-scan" "$source/README.md"
check_program vintrel2 "$window_help" "$source/data/man/vintrel2.1.in" "" "$source/README.md"

if ((failures > 0)); then
    echo "$failures gaps in the documentation" >&2
    exit 1
fi
echo "every option of --help is documented"
