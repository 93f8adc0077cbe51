#!/usr/bin/env bash
# Starts local stand-ins for the MailCity and HotMail web-mail services, each
# with a few messages, and prints the addresses to put into the MailCityHome
# and HotMailHome settings. Runs until Ctrl+C.
#
# Usage: scripts/webmail-demo.sh [messages]   (default 5; login user / secret)
set -euo pipefail
cd "$(dirname "$0")/.."

messages="${1:-5}"
sim=tests/support/webmail_sim.py
work="$(mktemp -d)"
pids=()

cleanup() {
    trap - INT TERM EXIT
    exec 4>&- 2>/dev/null || true  # end of input tells the simulators to stop
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 0' INT TERM

# The simulators serve until their input ends; this script holds that input
# open, so they stop with it however it ends.
mkfifo "$work/hold" "$work/mailcity" "$work/hotmail"
for service in mailcity hotmail; do
    /usr/bin/python3 "$sim" --service "$service" --messages "$messages" \
        <"$work/hold" >"$work/$service" &
    pids+=("$!")
done
exec 4>"$work/hold"

read_home() {
    local line
    exec 5<"$work/$1"
    if ! read -r -t 15 -u 5 line; then
        echo "the $1 simulator did not start" >&2
        exit 1
    fi
    exec 5<&-
    /usr/bin/python3 -c 'import json, sys; print(json.loads(sys.argv[1])["home"])' "$line"
}
mailcity_home="$(read_home mailcity)"
hotmail_home="$(read_home hotmail)"

cat <<EOF
Web-mail simulators are running (login name "user", password "secret").
Put these into the shared settings (Options, or gabblet.ini):

  MailCityHome=$mailcity_home
  HotMailHome=$hotmail_home

Then add a MailCity or HotMail account with that login.
Control: $mailcity_home/_sim/mailbox and $hotmail_home/_sim/mailbox list the mailboxes;
  curl -d '{"subject":"Hello"}' $mailcity_home/_sim/messages   adds a message.
Press Ctrl+C to stop.
EOF
wait
