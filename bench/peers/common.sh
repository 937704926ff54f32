# Shared by bench/peers and bench/startup (sourced): tools, a private X server, Vistrel's
# settings in a private home, and the data folders. Needs $BENCH_BUILD, $BENCH_ROOT and $work.

# Benchmark tools only, never needed by the program itself.
peers_install_tools() {
    local need=()
    command -v feh >/dev/null || need+=(feh)
    command -v nsxiv >/dev/null || need+=(nsxiv)
    command -v Xvfb >/dev/null || need+=(xvfb)
    command -v convert >/dev/null || need+=(imagemagick)
    command -v cjpeg >/dev/null || need+=(libjpeg-turbo-progs)
    for p in libxdamage-dev libxtst-dev; do
        dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
    done
    if [ ${#need[@]} -gt 0 ]; then
        echo "installing ${need[*]}" >&2
        apt-get install -y "${need[@]}" >/dev/null || { apt-get update >/dev/null && apt-get install -y "${need[@]}" >/dev/null; }
    fi
    watch="$BENCH_BUILD/bench/peers/bench_paintwatch"
    if [ ! -x "$watch" ]; then
        # The watcher is only built once the X extension headers are there.
        cmake -S "$BENCH_ROOT" -B "$BENCH_BUILD" >/dev/null
        cmake --build "$BENCH_BUILD" --target bench_paintwatch >/dev/null
    fi
    vistrel="$BENCH_BUILD/src/vistrel"
}

# One X server for every program; 24-bit colour, larger than any window used.
peers_start_x() {
    Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    xpid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(cat "$work/display")"
    # Vistrel reads its settings from here; nothing of the user's is touched.
    export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
    mkdir -p "$XDG_CONFIG_HOME/Vistrel" "$work/home/Documents" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    # Stored window size giving a 1000 x 700 viewing area, and where to click, read from the
    # real windows on this server: the troughs' right and left ends (horizontal bar), bottom end
    # (vertical bar), and the page steps across the 10000 x 10000 picture at its own size.
    read -r vw vh listx listy contx conty pagex pagey areax areay wincolour leftx lefty downx downy across < <("$BENCH_BUILD/bench/peers/bench_vistrellayout" 1000 700 10000 10000 2>/dev/null)
}

peers_stop_x() {
    [ -n "${xpid:-}" ] && kill "$xpid" 2>/dev/null || true
}

# vistrel_settings FOLDER name|date [scaled: 1 scale to fit (default), 0 actual size]
vistrel_settings() {
    local byname=1 scaled=${3:-1}
    [ "$2" = date ] && byname=0
    cat >"$XDG_CONFIG_HOME/Vistrel/Vistrel.ini" <<INI
[Settings]
LastDir=$1
MainLeft=0
MainTop=0
MainWidth=$vw
MainHeight=$vh
Toolbar1=$((1 - byname))
Toolbar2=$byname
Toolbar3=$scaled
INI
}

# A folder of 32,767 small valid JPEGs whose dates are not in name order.
peers_make_many() {
    convert -size 32x24 plasma: -quality 80 "$work/small.jpg"
    "$BENCH_BUILD/bench/peers/bench_makefolder" "$work/small.jpg" "$work/many" 32767
}

# median: reads numbers, one a line, prints their median.
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
