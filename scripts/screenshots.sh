#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots: each bundled character in the
# middle of a sentence, and the notification window. Needs a built program
# (scripts/run.sh or scripts/build.sh build-release) and xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build-release/src/app/gabblet}
out=docs/screenshots
mkdir -p "$out"

shoot() { # name defaultchar greeting delay crop
    local name=$1 char=$2 text=$3 delay=$4 crop=$5
    local home
    home=$(mktemp -d)
    printf 'version=0.34\r\nport=0\r\nuseassistant=1\r\ndefaultchar=%s\r\n' "$char" > "$home/gabblet.ini"
    touch "$home/rec.txt" # not a first run: no welcome
    GABBLET_HOME=$home xvfb-run -a -s "-screen 0 1280x800x24" bash -c "
        '$bin' --greet='$text' 2>/dev/null &
        sleep $delay
        import -window root /tmp/gabblet-shot.png
        kill -TERM %1; wait" || true
    convert /tmp/gabblet-shot.png -crop "$crop" +repage "$out/$name.png"
    rm -rf "$home"
}

for f in characters/*.acs; do
    c=$(basename "$f" .acs)
    shoot "character-${c,,}" "$c" "Hello! I am $c, and I will read your messages out loud for you." 6.5 560x420+720+380
done
for f in characters/*.act; do
    c=$(basename "$f" .act)
    shoot "assistant-${c,,}" "*$c" "{{msoAnimationGreeting}}Hi, I am $c. Shall I check your mail now?" 4 560x420+720+380
done
shoot notification-window "[None]" "Hello Ann! You have three new messages from Bob. The meeting moved to 3 pm, see you there." 3 1280x800+0+0
echo "screenshots written to $out"
