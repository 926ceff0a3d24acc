#!/usr/bin/env bash
# Checks the udev rule for the LEDs: with `udevadm verify` where systemd has it,
# else by parsing each rule line; then carries out its commands on a fake LED,
# as udev would on a device's add event, and checks that the group video may
# then write its brightness.
#
#   check_udev_rule.sh RULES_FILE
set -euo pipefail
rules=$1
fail() { echo "check_udev_rule: $*" >&2; exit 1; }

if udevadm verify --help >/dev/null 2>&1; then
    udevadm verify "$rules" || fail "udevadm verify rejects the rules"
else
    # KEY, KEY{attribute}, then an operator and a double-quoted value; pairs
    # separated by a comma and spaces.
    pair='[A-Z_]+(\{[^}]+\})?(==|!=|=|\+=|-=|:=)"[^"]*"'
    while IFS= read -r line; do
        case "$line" in "" | "#"*) continue ;; esac
        grep -Eqx "$pair(, *$pair)*" <<<"$line" || fail "not a rule line: $line"
        for key in $(grep -Eo '(^|, *)[A-Z_]+' <<<"$line" | tr -d ', '); do
            case "$key" in ACTION | SUBSYSTEM | KERNEL | RUN | GROUP | MODE) ;;
                *) fail "unexpected key $key in: $line" ;;
            esac
        done
    done <"$rules"
fi

getent group video >/dev/null || fail "there is no group video here"
grep -q 'SUBSYSTEM=="leds"' "$rules" || fail "the rule is not for the leds subsystem"
grep -q 'ACTION=="add"' "$rules" || fail "the rule does not act when an LED appears"

# The rule's commands, with /sys%p pointing at a fake LED.
sys=$(mktemp -d)
trap 'rm -rf "$sys"' EXIT
devpath=/class/leds/white:flash
mkdir -p "$sys$devpath"
printf '0\n' >"$sys$devpath/brightness"
chmod 0644 "$sys$devpath/brightness"
grep -Eo 'RUN\+="[^"]*"' "$rules" | sed -e 's/^RUN+="//' -e 's/"$//' | while IFS= read -r command; do
    command=${command//\/sys%p/$sys$devpath}
    read -ra words <<<"$command"
    [ -x "${words[0]}" ] || fail "the rule runs ${words[0]}, which is not here"
    "${words[@]}" || fail "the rule's command failed: $command"
done
[ "$(stat -c %G "$sys$devpath/brightness")" = video ] || fail "brightness is not the group video's"
[ "$(( 0$(stat -c %a "$sys$devpath/brightness") & 020 ))" -ne 0 ] ||
    fail "the group may not write brightness"
echo "check_udev_rule: the group video may write an LED's brightness once the rule ran"
