#!/usr/bin/env bash
# Builds a demo configuration of Kavrin whose main profile points at a local FTP server,
# starts that server over sample client files, creates a demo client book and starts the
# program. Without a display it runs under Xvfb, presses Osveži itself, saves screenshots
# and prints which files moved from the server into Prenosi.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh" --demo

demo="$root/demo"
build="$root/build/demo"
server_root="$demo/server"
work="$demo/work"
shots="$demo/screenshots"
remote="$server_root/Sorvanta/Kavrin"
rm -rf "$demo"
mkdir -p "$remote" "$work" "$shots"

# Sample files: several for one client, an already imported one, an inactive client's,
# and one of no client at all.
for name in 12345678_2026-11.xml 12345678_2026-12.xml 12345678_racuni.csv \
            87654321_2026-12.xml Uvozeno-87654321_2026-11.xml \
            55511122_2026-12.xml 99999999_neznan.xml; do
    printf '<?xml version="1.0"?>\n<podatki datoteka="%s"/>\n' "$name" > "$remote/$name"
done

# A client book of an older layout; the program brings it to its own structure at start.
/usr/bin/python3 - "$work/Book.db" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("create table book (Zapst integer primary key autoincrement, Davcna text, Naziv text, Aktiven boolean)")
db.executemany("insert into book (Davcna, Naziv, Aktiven) values (?, ?, ?)", [
    ("12345678", "Mizarstvo Novak", 1),
    ("87654321", "Cvetličarna Žan", 1),
    ("55511122", "Šivilja Čebela", 0),
    ("44433322", "Avtoprevozi Kos", 1),
])
db.commit()
PY

# The server first: its port goes into the demo build's profile.
user=demo
password=demo-geslo-2026
sleep infinity | /usr/bin/python3 "$root/tests/support/ftp_server.py" \
    "$server_root" "$user" "$password" "$demo/ftp-commands.log" > "$demo/ftp-port" 2> "$demo/ftp-server.log" &
server_pid=$!
cleanup() {
    pkill -P "$server_pid" 2>/dev/null || true
    kill "$server_pid" 2>/dev/null || true
    pkill -f "ftp_server.py $server_root" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$demo/ftp-port" ] && break; sleep 0.1; done
port="$(head -n1 "$demo/ftp-port")"
[ -n "$port" ] || { echo "The demo FTP server did not start." >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKAVRIN_BUILD_TESTS=OFF \
    -DKAVRIN_FTP_HOST=127.0.0.1 -DKAVRIN_FTP_PORT="$port" \
    -DKAVRIN_FTP_USER="$user" -DKAVRIN_FTP_PASSWORD="$password" >/dev/null
cmake --build "$build" -j "$(nproc)" --target Kavrin
program="$build/src/Kavrin"
prenosi="$build/src/Prenosi"
rm -rf "$prenosi"

echo "Demo FTP server on 127.0.0.1:$port over $server_root"
echo "Waiting on the server: $(ls "$remote" | tr '\n' ' ')"
before="$(ls "$remote")"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    (cd "$work" && "$program")
else
    display=":$((90 + RANDOM % 100))"
    Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY="$display"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    (cd "$work" && exec "$program") &
    program_pid=$!
    window="$(timeout 20 xdotool search --sync --onlyvisible --name '^Velmira - Kavrin 1.0$' | head -n1)"
    sleep 1
    import -window root "$shots/1-before.png"
    # Osveži and Zapri sit on the page at (272, 393) and (360, 393), 81 x 72; the page
    # starts under the tab row of the page control at (8, 8).
    xdotool mousemove --window "$window" 321 478 click 1
    for _ in $(seq 300); do
        sleep 0.2
        [ -z "$(ls "$remote" | grep -E '^(12345678|87654321)_')" ] && break
    done
    sleep 1.5
    import -window root "$shots/2-after.png"
    # A click on Mizarstvo Novak's row shows that client's files in the transfer folder.
    xdotool mousemove --window "$window" 139 199 click 1
    sleep 0.5
    import -window root "$shots/3-client-files.png"
    xdotool mousemove --window "$window" 409 478 click 1
    for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$program_pid" 2>/dev/null || true
    echo "Screenshots in $shots"
fi

echo "Moved from the server into $prenosi:"
comm -23 <(echo "$before") <(ls "$remote") | sed 's/^/  /'
echo "Still on the server:"
ls "$remote" | sed 's/^/  /'
echo "In Prenosi:"
ls "$prenosi" 2>/dev/null | sed 's/^/  /'
