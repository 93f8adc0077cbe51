#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots: each bundled character in the
# middle of a sentence, the notification window, the main window's tabs and
# the other windows. Needs a built program
# (scripts/run.sh or scripts/build.sh build-release) and xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build-release/src/app/gabblet}
out=docs/screenshots
mkdir -p "$out"
# A private file for each raw shot, so that two runs never share one.
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot" "$shot.tree"' EXIT

shoot() { # name defaultchar greeting delay crop
    local name=$1 char=$2 text=$3 delay=$4 crop=$5
    local home
    home=$(mktemp -d)
    printf 'version=0.34\r\nport=0\r\nuseassistant=1\r\ndefaultchar=%s\r\n' "$char" > "$home/gabblet.ini"
    touch "$home/rec.txt" # not a first run: no welcome
    GABBLET_HOME=$home xvfb-run -a -s "-screen 0 1280x800x24" bash -c "
        '$bin' --greet='$text' 2>/dev/null &
        sleep $delay
        import -window root '$shot'
        kill -TERM %1; wait" || true
    convert "$shot" -crop "$crop" +repage "$out/$name.png"
    rm -rf "$home"
}

what=${2:-all} # all, windows, characters or one window's name
if [[ $what == all || $what == characters ]]; then
for f in characters/*.acs; do
    c=$(basename "$f" .acs)
    shoot "character-${c,,}" "$c" "Hello! I am $c, and I will read your messages out loud for you." 6.5 560x420+720+380
done
for f in characters/*.act; do
    c=$(basename "$f" .act)
    shoot "assistant-${c,,}" "*$c" "{{msoAnimationGreeting}}Hi, I am $c. Shall I check your mail now?" 4 560x420+720+380
done
shoot notification-window "[None]" "Hello Ann! You have three new messages from Bob. The meeting moved to 3 pm, see you there." 3 1280x800+0+0
fi

# The main window, driven through its script commands (one script per shot).
real_window() { # name script [settings] [prepare]
    local name=$1 script=$2 settings=${3:-port=0} prepare=${4:-true}
    local home
    home=$(mktemp -d)
    $prepare "$home"
    printf 'version=0.34\r\n%b\r\ndefaultchar=Bramble\r\n' "$settings" > "$home/gabblet.ini"
    printf '"Anna",127.0.0.2\r\n"Bob",127.0.0.3\r\n"Team",127.0.0.2;127.0.0.3\r\n' > "$home/alias.lst"
    [[ -e $home/rec.txt ]] ||
        printf 'Anna: Bramble:Lunch at one? {{Wave}}\r\n+-------------------------+\r\n' > "$home/rec.txt"
    printf 'To Bob: Mizzle:Running late, start without me.\r\n+-------------------------+\r\n' > "$home/send.txt"
    [[ -z ${EMAILANN:-} ]] || printf '%b' "$EMAILANN" > "$home/emailann.txt"
    GABBLET_HOME=$home GABBLET_NONINTERACTIVE=1 GABBLET_FAST_SPEECH=1 \
        xvfb-run -a -s "-screen 0 1280x800x24" bash -c "
        { sleep 2; printf '%b' '$script'; sleep 3; import -window root '$shot'
          xwininfo -root -tree > '$shot.tree'; } |
            '$bin' 2>/dev/null &
        pid=\$!; sleep 7; kill -TERM \$pid 2>/dev/null; wait" || true
    cp "$shot" "$out/$name.png"
    rm -rf "$home"
}
window() { real_window "$@"; }
message='set Combo1 Anna\nset SendText Good morning! \\Emp\\ Coffee {{Wave}} is ready {{$start .5;.5}}\n'
if [[ $what != characters ]]; then
# A window's name as the second argument takes that screenshot alone.
if [[ $what != all && $what != windows ]]; then
    window() { [[ $1 == "$what" ]] && real_window "$@" || true; }
fi
window main-message "${message}set ComposerTools 0\n"
window main-variables "${message}set ComposerTools 1\nset Variables 16\nset TPara message\nset TPara2 messages\n"
window main-screen-notes "${message}set ComposerTools 2\n"
window main-status 'set SSTab1 3\n'
window tray-menu 'popup mPopupSys 1080,560\n'
window edit-menu 'popup EditMenu 120,90\n'
# Bob is blocked: the alias window greys him and says so.
block_bob() { printf '127.0.0.3\r\n' > "$1/blocked.lst"; }
window alias-window 'trigger DoAlias\n' port=0 block_bob
# The received history's own menu on a message from Anna.
anna_said() {
    printf 'From: Anna using Bramble at 07/12/2026 09:14:03->\r\nLunch at one? {{Wave}}\r\n+-------------------------+\r\n' > "$1/rec.txt"
}
window history-menu 'rightclick MesRec0 40,12\n' port=0 anna_said
# The Options window on the usual port, bound to an address of its own so
# that it cannot clash with a copy of Gabblet that is running.
options='port=12345\r\nbindaddress=127.0.0.77\r\nmyname=Anna'
window options-general 'trigger SetOptions\n' "$options"
window options-advanced 'trigger SetOptions\nset OptionsPages 1\n' "$options"
# Three accounts; the script goes on inside the accounts window once it is open.
accounts='port=0\r\ntype0=POP3\r\nname0=Home\r\ndescription0=Family mail\r\naccount0=anna\r\n'
accounts+='host0=pop.example.org\r\nsmtp0=smtp.example.org\r\naddress0=anna@example.org\r\n'
accounts+='active0=1\r\nremember0=1\r\ninbox0=12\r\nchkfrq0=15\r\nstorepassword0=1\r\n'
accounts+='password0=C99D9F8E7FCE\r\n'
accounts+='type1=HotMail\r\nname1=Travel\r\ndescription1=Bookings and tickets\r\n'
accounts+='account1=anna.travels\r\nactive1=1\r\nchkfrq1=30\r\n'
accounts+='type2=Outlook\r\nname2=Local\r\ndescription2=Mail delivered to this computer\r\n'
accounts+='account2=~/Maildir\r\naddress2=anna@example.org\r\nactive2=1\r\nchkfrq2=5'
window accounts-pop3 'trigger AccountsSetup\nset SSTab1 0\n' "$accounts"
window accounts-webmail 'trigger AccountsSetup\nset SSTab1 1\n' "$accounts"
window accounts-localmail 'trigger AccountsSetup\nset SSTab1 2\n' "$accounts"
# The Inbox tab with both accounts' headers, as the last run left them in
# their header caches; one body is cached, one message ticked.
inbox_caches() { # home
    local hdr
    hdr() { # file count then date from subject size id... groups of five
        local file=$1 count=$2
        shift 2
        {
            printf '0.34\r\n%s\r\n1\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n' "$count"
            while (($#)); do
                printf '%s\r\n%s\r\n%s\r\n%s\r\nref\r\n%s\r\nFalse\r\n' "$1" "$2" "$3" "$4" "$5"
                shift 5
            done
        } > "$file"
    }
    hdr "$1/Home.hdr" 4 \
        'Mon, 12 Jan 2026 09:14:03 +0100' 'Bob Baker <bob@example.org>' 'Lunch on Friday?' 2310 '<1@example.org>' \
        'Mon, 12 Jan 2026 11:40:51 +0100' 'Carla Diaz <carla@example.org>' 'Photos from the weekend' 2480133 '<2@example.org>' \
        'Tue, 13 Jan 2026 08:02:17 +0100' 'School office' 'Gabblet: term dates for spring' 5120 '<3@example.org>' \
        'Tue, 13 Jan 2026 17:25:40 +0100' 'Dan Evans <dan@example.org>' 'Re: the bike repair' 987 '<4@example.org>'
    hdr "$1/Travel.hdr" 2 \
        '12/01/2026 07:30' 'Rail bookings' 'Your ticket to Edinburgh' 48210 'T1' \
        '13/01/2026 19:05' 'Hotel Bellevue' 'Booking confirmed: 2 nights' 15877 'T2'
    mkdir -p "$1/cache/Home/POP3"
    printf 'Lunch at one on Friday?\r\n' > "$1/cache/Home/POP3/Z1@example.orgZ"
}
window main-inbox 'set SSTab1 1\ncheck TreeView1 a2 1\n' "${accounts}\r\ncacheacc=1\r\ncacheemail=1\r\nmaxtoget=-1" inbox_caches
# The Outbox tab with three messages kept for later, one of them ticked.
outbox_items() { # home
    mkdir -p "$1/Outbox"
    printf '12/01/2026\r\nbob@example.org\r\n\r\nLunch on Friday\r\nOne o clock is fine.\r\n' > "$1/Outbox/Home.000"
    printf '13/01/2026\r\nschool.office@example.org\r\nanna@example.org\r\nSpring term dates\r\nThank you!\r\n' > "$1/Outbox/Home.001"
    printf '13/01/2026\r\nbookings@hotel-bellevue.example\r\n\r\nLate arrival on Friday\r\nWe arrive at ten.\r\n' > "$1/Outbox/Travel.000"
}
window main-outbox 'set SSTab1 2\ncheck TreeView2 a1 1\n' "$accounts" outbox_items
# One window of the last shot, found by the start of its caption. No window
# manager runs under xvfb-run to draw its title, so the caption is read from
# the X server and drawn as a title bar above it.
titled() { # name caption-start
    local window caption geometry
    window=$(grep -m1 "$2" "$shot.tree") || { echo "no $1 window on screen" >&2; return 1; }
    caption=$(sed 's/^[^"]*"\(.*\)": (.*/\1/' <<<"$window")
    geometry=$(grep -o '[0-9]*x[0-9]*+[0-9-]*+[0-9-]*' <<<"$window" | head -1)
    convert "$out/$1.png" -crop "$geometry" +repage \
        \( -size "${geometry%%x*}x24" xc:'#dcdcdc' -font DejaVu-Sans -pointsize 10 \
        -fill '#202020' -gravity west -annotate +6+0 "$caption" \) \
        +swap +gravity -append -bordercolor '#8a8a8a' -border 1 +repage -depth 8 "$out/$1.png"
}
# The Send Email window over the main window, a message being written.
compose_script='trigger MSendEmail\nset ToHeader bob@example.org\nset CCHeader carla@example.org\n'
compose_script+='set SubjectHeader Lunch on Friday\nset SendBody Hi Bob,\\n\\nOne o clock at the usual place?\\n\\nAnna\n'
window send-email "$compose_script" "$accounts"
[[ $what != all && $what != windows && $what != send-email ]] || titled send-email '"Send Email'
# The spelling dialog on a body with three misspelt words.
spell_script='trigger MSendEmail\nset ToHeader bob@example.org\nset SubjectHeader Lunch on Friday\n'
spell_script+='set SendBody Hi Bob,\\n\\nThe meetting is tomorow at the usual plase.\\n\\nAnna\nclick SpellCheck\n'
window spelling-dialog "$spell_script" "$accounts"
[[ $what != all && $what != windows && $what != spelling-dialog ]] || titled spelling-dialog '"Spelling'
# A message read from a POP3 mailbox: a private Dovecot (as the e-mail tests
# use, tests/support/mailservers.py; needs root) serves two messages, the
# script lists the account's headers and clicks the second message.
mail_message() { # text of one message, headers and all
    printf '%b' "$1" | /usr/bin/python3 tests/support/mailservers.py deliver --maildir "$pop_root/Maildir" --file - >/dev/null
}
mail_viewer() {
    local pop_root line port settings
    pop_root=$(mktemp -d)
    mkdir -p "$pop_root"/Maildir/{cur,new,tmp}
    mail_message 'From: Bob Baker <bob@example.org>\r\nTo: Anna <anna@example.org>\r\nSubject: Lunch on Friday?\r\nDate: Mon, 12 Jan 2026 09:14:03 +0100\r\nMessage-ID: <1@example.org>\r\n\r\nLunch at one on Friday?\r\n'
    mail_message 'From: Carla Diaz <carla@example.org>\r\nTo: Anna <anna@example.org>\r\nSubject: Gabblet: the bike ride on Sunday\r\nDate: Tue, 13 Jan 2026 17:25:40 +0100\r\nMessage-ID: <2@example.org>\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nHi Anna,\r\n\r\nGabblet: Sunday is on! We meet at the bridge at ten. :Gabblet\r\n\r\nThe route, about 40 km in all:\r\n\r\n  Stage            Distance   Stop\r\n  Bridge - Millford   12 km   bakery\r\n  Millford - Lake     16 km   picnic\r\n  Lake - Bridge       12 km   -\r\n\r\nBring a spare tube; Dan has the pump.\r\n\r\nCarla\r\n'
    coproc POP { exec /usr/bin/python3 tests/support/mailservers.py pop3 --root "$pop_root" --user anna --password secret; }
    read -r -u "${POP[0]}" line || { echo "no POP3 server: see above" >&2; rm -rf "$pop_root"; return 1; }
    port=$(sed -n 's/.*"port": *\([0-9]*\).*/\1/p' <<<"$line")
    settings='port=0\r\ntype0=POP3\r\nname0=Home\r\ndescription0=Family mail\r\naccount0=anna\r\n'
    settings+="host0=127.0.0.1:$port\\r\\nsmtp0=smtp.example.org\\r\\naddress0=anna@example.org\\r\\n"
    settings+='active0=1\r\nremember0=1\r\nstorepassword0=1\r\npassword0=C99D9F8E7FCE\r\nmaxtoget=-1'
    real_window mail-viewer 'set SSTab1 1\nclick TreeView1 a shift\nwait 1500\nclick TreeView1 a1\n' "$settings"
    eval "exec ${POP[1]}>&-" # end of input stops the server
    wait "$POP_PID" || true
    rm -rf "$pop_root"
    titled mail-viewer '"Home   From:'
}
[[ $what != all && $what != windows && $what != mail-viewer ]] || mail_viewer
# A MailCity message read from the inbox tree: the web-mail simulator
# (tests/support/webmail_sim.py) holds it, the page opens in the Browser window.
web_viewer() {
    local line home settings
    coproc SIM { exec /usr/bin/python3 tests/support/webmail_sim.py --service mailcity --messages 1; }
    read -r -u "${SIM[0]}" line || { echo "no web-mail simulator: see above" >&2; return 1; }
    home=$(sed -n 's/.*"home": *"\([^"]*\)".*/\1/p' <<<"$line")
    curl -s -X POST -H 'Content-Type: application/json' "$home/_sim/messages" -d '{"from": "Carla Diaz <carla@example.com>", "subject": "Gabblet: the bike ride on Sunday", "body": "Hi Anna,\r\n\r\nGabblet:\r\nSunday is on! We meet at the bridge at ten.\r\n:Gabblet\r\n\r\nBring a spare tube; Dan has the pump.\r\n\r\nCarla\r\n"}' >/dev/null
    settings="port=0\\r\\nmailcityhome=$home\\r\\ntype0=MailCity\\r\\nname0=City\\r\\naccount0=user\\r\\n"
    settings+='active0=1\r\nstorepassword0=1\r\npassword0=C99D9F8E7FCE\r\nmaxtoget=-1\r\ntimeoutweb=10'
    real_window web-viewer 'set SSTab1 1\nclick TreeView1 a shift\nwait 1500\nclick TreeView1 a0\n' "$settings"
    eval "exec ${SIM[1]}>&-" # end of input stops the simulator
    wait "$SIM_PID" || true
    titled web-viewer '"City   From:'
}
[[ $what != all && $what != windows && $what != web-viewer ]] || web_viewer
# The announcement window, showing the second of two templates.
emailann='{{$Me}}, you have {{$EmailNumNew}} new {{$EmailPlural message,messages}} in your '
emailann+='{{$EmailAccountName}} account.\r\n\r\nFrom {{$EmailFrom}}^mThe subject reads '
emailann+='{{$EmailSubject}}\r\n\r\n{{^Bramble}}{{Wave}}Psst, {{$Me}}! {{$EmailNumNew}} new in '
emailann+='{{$EmailAccountName}}.^mShall I read them?\r\n\r\nThe {{$EmailMesPos}} one is from '
emailann+='{{$EmailFrom}}.^mIt says: {{$EmailSubject}}\r\n\r\n'
EMAILANN=$emailann window announcements 'trigger DoAnn\nset AnnScroll 2\n'
fi
echo "screenshots written to $out"
