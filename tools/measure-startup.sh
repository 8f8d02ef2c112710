#!/usr/bin/env bash
# Measures what starting app_w on the sample game costs: the time to the window shown, to the first
# presented frame and to the first picture (the window holding more than three colours), resident memory
# 5 s after start (the engine's own part apart from the GL driver's), the shared libraries loaded before
# main and mapped at 5 s, CPU, wake-ups and presents over 10 s of an idle page and optionally over a
# window while a page of text reveals, and the time to exit after SIGTERM; min / median / max over a
# number of runs. Optionally measures another program (--peer) the same way, interleaved run by run, with
# the ratio of the medians, and the floor (--floor: the least an SDL2 + OpenGL 3.3 program does before its
# first picture) beside both; and, on further games for both programs, the time from launch to exit of a
# game that quits at once, the time from SIGTERM to exit with music playing, and the CPU per present early
# and late in a long page. A benchmark for people to run, not a test: nothing in CI calls it. Linux only
# (it reads /proc); needs bash 5, coreutils, awk, sed, grep and diffutils, and for the X11 runs Xvfb
# (package xvfb), xwininfo (x11-utils) and xwd (x11-apps).
#
# usage: tools/measure-startup.sh [APP_W] [--runs N] [--offscreen] [--peer "COMMAND"] [--peer-dir DIR]
#                                 [--game DIR] [--idle SECONDS] [--idle-from SECONDS] [--reveal A-B]
#                                 [--floor] [--quit-game DIR] [--music-game DIR] [--music-at SECONDS]
#                                 [--long-page DIR] [--early A-B] [--late A-B]
#                                 [--poll] [--no-warmup] [--keep]
#   APP_W       the engine to measure (default build/app_w); it runs as `APP_W game.scm` in the game
#               folder (default examples/sample), as `make run` and a player run it: nothing it does
#               for -d (the trace and debug lines written to the terminal) counts in what is measured
#   --runs N    measured runs of each program (default 3)
#   --offscreen SDL's offscreen driver (EGL, no X server) instead of Xvfb; only the log figures then,
#               and for them app_w runs as `APP_W -d game.scm` (no window to watch: only its log says
#               when the window was shown and the first frame presented)
#   --peer CMD  a second program to measure, run as `exec CMD` by bash in --peer-dir (default: here)
#   --idle S    length of the idle window (default 10)
#   --idle-from S  when the idle window starts, in seconds after launch (default 5)
#   --reveal A-B   also measure CPU and presents from A to B seconds after launch (a page revealing)
#   --floor     also run tools/peers/floor/floor.c (built here with cc and SDL2's headers, package
#               libsdl2-dev) in each round: a shown 800 x 600 window with an OpenGL 3.3 core context that
#               presents one texture made in memory, and nothing else; its window and first picture
#               are the third column, with app_w's ratio to them (X damage only)
#   --quit-game DIR   a game that quits at once, for both programs (app_w's game.scm and the peer, each
#               run in DIR): the time from launch to exit and the CPU it took (of all its threads)
#   --music-game DIR  a game that plays music, for both programs: SIGTERM at --music-at seconds (default
#               3) and the time to exit
#   --long-page DIR   a long page revealing, for both programs: CPU per present from --early A-B and
#               from --late A-B seconds after launch (defaults 1-4 and 11-14) and their ratio (X damage)
#   The further games run without -d, under --offscreen too; each round runs app_w and the peer on each
#   of them in turn, after the main runs.
# tools/peers/onepage is one page of text for app_w (game.scm) and for Debian's onscripter (0.txt), the
# same picture, window and text at the sample's speed (40 ms a character); the side-by-side run, with no
# sound (onscripter ends when it finds no audio device) is
#   SDL_AUDIODRIVER=dummy tools/measure-startup.sh --game tools/peers/onepage --peer-dir tools/peers/onepage \
#     --peer "/usr/games/onscripter --root . --font /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf" \
#     --reveal 1-4 --idle-from 8
#   and with the floor and the further games (tools/peers/README.md):
#     ... --floor --quit-game tools/peers/quit --music-game tools/peers/music --long-page tools/peers/page16
#   --poll      the X figures by polling even where the DAMAGE watcher can be built
#   --no-warmup skip the unmeasured first start of each program (which warms the page, font and shader
#               caches so that every measured run finds them alike; app_w's warm-up runs with -d,
#               so that its log names the GL renderer printed with the results)
#   --keep      keep the work folder (logs of every run) and say where it is
#
# Times are measured from a launch time taken with $EPOCHREALTIME just before the fork, so exec and
# dynamic loading count. Three methods:
# - log (--offscreen only, where there is no window to watch): app_w's `-d` lines "window shown: ...
#   (wall clock W us)" and "first frame presented: ... (wall clock W us)" (W is CLOCK_REALTIME), minus
#   the launch time;
# - X damage (Xvfb only, for app_w and the peer alike; the default where `cc` and the Xdamage headers,
#   package libxdamage-dev, are there to build tools/first-damage.c): a client of the X server, started
#   before each launch, takes the time of the MapNotify of the program's top-level window, of the first
#   Damage report of that window while mapped, which the server sends as the first frame's pixels reach
#   it (a GL swap's PutImage as well as a 2-D blit), and of the first Damage report after which the
#   window's pixels, read back, hold more than three colours: the first picture, where a program that
#   fills its window with one colour first (as ONScripter does) has its first frame earlier. Event to
#   timestamp is some microseconds (the read-back some milliseconds, after the timestamp);
# - X poll (Xvfb only, where the watcher cannot be built, or with --poll): "window mapped" is the first poll of
#   `xwininfo -root -children` that finds a viewable top-level window larger than 1x1; "first frame" is
#   the first `xwd` capture of that window that is not blank. Xvfb runs with a white root and no window
#   manager, so a window nothing has been drawn into reads all white: a capture is blank when all its
#   pixels are one colour and that colour is white (a program whose first frame is pure white is not
#   seen). Polls run back to back; the poll that first sees a change counts from its own start, so the
#   figure is late by at most one poll interval (whose mean is printed with the results) and early by
#   at most the few milliseconds a poll takes to reach the X server. The polls themselves take CPU
#   time and X server time from the program being started, alike for every program measured.
# Memory, 5 s after launch: VmRSS and VmHWM from /proc/PID/status, and Private_Dirty of /proc/PID/smaps
# split in two. The GL driver's part is the mappings of files whose name matches libGL.so*, libGLX*,
# libGLdispatch*, libEGL*, libOpenGL*, libglapi*, libgallium*, *_dri.so, libLLVM*, libz3* (loaded only by
# libLLVM), libdrm*, libgbm*, libxcb-glx*, libxcb-dri2*, libxcb-dri3*, libxcb-present*, libxcb-sync*,
# libxshmfence*, libvulkan*, libsensors*, and anything under /dev/dri/. The engine's own part is every
# other mapping: its binary, the other libraries, [heap], [stack] and anonymous memory. What the driver
# allocates from the heap or with anonymous mmap (llvmpipe's textures, among them the screen buffer)
# cannot be told apart by mapping and counts as the engine's.
# Idle, from --idle-from to --idle-from + the idle window (and the same for the reveal window): CPU % of
# one core from the summed run time of all threads (/proc/PID/task/*/schedstat, ns), wake-ups a second
# from the summed voluntary and involuntary context switches of all threads (/proc/PID/task/*/status),
# presents a second from the X damage watcher (drawing into the window; reports less than 3 ms apart are
# one present; X damage only). A thread that ends inside the window is not counted; one that starts
# inside it counts from zero. The threads that woke most are named per run.
# Shared libraries: loaded before main is what the dynamic loader lists for the program's file
# (LD_TRACE_LOADED_OBJECTS, as ldd does; the peer's file is the first word of its command); mapped at 5 s
# is the number of distinct .so files in /proc/PID/maps then.
# The X runs give the program's window the input focus when it maps, as a window manager would: a
# window in the background may be paced more slowly.
# Every run starts with a fresh, empty XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR and ZEP_REGISTRY_DIR
# (nothing is written under ~, and a copy of the game already running does not hold the single-instance
# lock against it) and ends with SIGTERM; the exit code and the time to exit are printed (SIGKILL after 5 s).
# The time to exit runs from the SIGTERM to the moment the shell has the program's exit status (it waits
# for it, no polling). The quit-at-once game's CPU is what the shell's `times` adds for the finished
# program (user + system of all its threads, milliseconds).
# CPU per present in the long page: the CPU of all threads (schedstat) over the window divided by the
# presents the X damage watcher counted in it; "late / early" is the ratio per run, then its median.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
app="$root/build/app_w"
game="$root/examples/sample"
runs=3
offscreen=0
peer=""
peer_dir=$PWD
floor=0
quit_dir=""
music_dir=""
music_at_s=3
page_dir=""
early="1-4"
late="11-14"
idle_s=10
idle_from_s=""
reveal=""
warmup=1
poll=0
keep=0
mem_at_s=5
start_timeout_s=20
term_timeout_s=5

die() { echo "measure-startup: $*" >&2; exit 2; }

while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=${2:-}; shift 2 || die "--runs needs a number" ;;
    --offscreen) offscreen=1; shift ;;
    --peer) peer=${2:-}; shift 2 || die "--peer needs a command" ;;
    --peer-dir) peer_dir=${2:-}; shift 2 || die "--peer-dir needs a folder" ;;
    --game) game=${2:-}; shift 2 || die "--game needs a folder" ;;
    --idle) idle_s=${2:-}; shift 2 || die "--idle needs a number of seconds" ;;
    --idle-from) idle_from_s=${2:-}; shift 2 || die "--idle-from needs a number of seconds" ;;
    --reveal) reveal=${2:-}; shift 2 || die "--reveal needs A-B (seconds after launch)" ;;
    --floor) floor=1; shift ;;
    --quit-game) quit_dir=${2:-}; shift 2 || die "--quit-game needs a folder" ;;
    --music-game) music_dir=${2:-}; shift 2 || die "--music-game needs a folder" ;;
    --music-at) music_at_s=${2:-}; shift 2 || die "--music-at needs a number of seconds" ;;
    --long-page) page_dir=${2:-}; shift 2 || die "--long-page needs a folder" ;;
    --early) early=${2:-}; shift 2 || die "--early needs A-B (seconds after launch)" ;;
    --late) late=${2:-}; shift 2 || die "--late needs A-B (seconds after launch)" ;;
    --poll) poll=1; shift ;;
    --no-warmup) warmup=0; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) die "unknown option $1 (see --help)" ;;
    *) app=$1; shift ;;
  esac
done

[[ $runs =~ ^[1-9][0-9]*$ ]] || die "--runs wants a whole number above 0, not '$runs'"
[[ $idle_s =~ ^[1-9][0-9]*$ ]] || die "--idle wants whole seconds above 0, not '$idle_s'"
[ -z "$idle_from_s" ] && idle_from_s=$mem_at_s
[[ $idle_from_s =~ ^[0-9]+$ ]] || die "--idle-from wants whole seconds, not '$idle_from_s'"
reveal_a=""; reveal_b=""
if [ -n "$reveal" ]; then
  [[ $reveal =~ ^([0-9]+)-([0-9]+)$ ]] && (( BASH_REMATCH[1] < BASH_REMATCH[2] )) ||
    die "--reveal wants A-B, whole seconds with A < B, not '$reveal'"
  reveal_a=${BASH_REMATCH[1]}; reveal_b=${BASH_REMATCH[2]}
fi
[[ $early =~ ^([0-9]+)-([0-9]+)$ ]] && (( BASH_REMATCH[1] < BASH_REMATCH[2] )) ||
  die "--early wants A-B, whole seconds with A < B, not '$early'"
early_a=${BASH_REMATCH[1]}; early_b=${BASH_REMATCH[2]}
[[ $late =~ ^([0-9]+)-([0-9]+)$ ]] && (( BASH_REMATCH[1] < BASH_REMATCH[2] && early_b <= BASH_REMATCH[1] )) ||
  die "--late wants A-B, whole seconds with A < B, after --early's end, not '$late'"
late_a=${BASH_REMATCH[1]}; late_b=${BASH_REMATCH[2]}
[[ $music_at_s =~ ^[1-9][0-9]*$ ]] || die "--music-at wants whole seconds above 0, not '$music_at_s'"
for d in "$quit_dir" "$music_dir" "$page_dir"; do
  [ -z "$d" ] || [ -f "$d/game.scm" ] || die "no game.scm in $d"
done
[ -n "$quit_dir" ] && quit_dir=$(cd "$quit_dir" && pwd)
[ -n "$music_dir" ] && music_dir=$(cd "$music_dir" && pwd)
[ -n "$page_dir" ] && page_dir=$(cd "$page_dir" && pwd)
[ -n "${EPOCHREALTIME:-}" ] || die "needs bash 5 or later (\$EPOCHREALTIME)"
[ -r /proc/self/schedstat ] || die "needs /proc/PID/schedstat (a Linux kernel with CONFIG_SCHED_INFO)"
case $app in /*) ;; *) app="$PWD/$app" ;; esac
[ -x "$app" ] || die "no executable at $app (build it first: cmake --build build --target app_w)"
[ -f "$game/game.scm" ] || die "no game.scm in $game"
game=$(cd "$game" && pwd)
[ -d "$peer_dir" ] || die "no folder $peer_dir"
if [ "$offscreen" = 1 ] && [ -n "$peer" ]; then
  die "--peer measures a window on an X server: it cannot be combined with --offscreen"
fi
if [ "$offscreen" = 1 ] && { [ "$floor" = 1 ] || [ -n "$page_dir" ]; }; then
  die "--floor and --long-page read the window on an X server: they cannot be combined with --offscreen"
fi

need() { # command, Debian package
  command -v "$1" >/dev/null 2>&1 || die "needs $1: apt-get install $2"
}
for c in od head cut tr seq nproc sleep mktemp; do need "$c" coreutils; done
need awk mawk
need sed sed
need grep grep
need cmp diffutils
if [ "$offscreen" = 0 ]; then
  need Xvfb xvfb
  need xwininfo x11-utils
  need xwd x11-apps
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/measure-startup.XXXXXX")
capture="$work/capture.xwd"
xvfb_pid=""
run_pid=""
cleanup() {
  if [ -n "${watch_pid:-}" ]; then kill "$watch_pid" 2>/dev/null; fi
  case $capture in /dev/shm/*) rm -f "$capture" ;; esac
  if [ -n "$run_pid" ] && kill -0 "$run_pid" 2>/dev/null; then kill -KILL "$run_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill -TERM "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  if [ "$keep" = 1 ]; then echo "logs kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# Window captures go to memory where there is a tmpfs (2 MB each, written back to back).
if [ -d /dev/shm ] && [ -w /dev/shm ]; then capture=$(mktemp /dev/shm/measure-startup.XXXXXX); fi

sleep_until_us() { # absolute $EPOCHREALTIME in microseconds
  local left=$(( $1 - ${EPOCHREALTIME//[.,]/} ))
  if [ "$left" -gt 0 ]; then sleep "$((left / 1000000)).$(printf '%06d' $((left % 1000000)))"; fi
}
alive() { # true while the process runs (a zombie has ended); no fork, as the polls call it
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  stat=${stat%% *}
  [ -n "$stat" ] && [ "$stat" != Z ] && [ "$stat" != X ]
}

# ---- the display -------------------------------------------------------------------------------
if [ "$offscreen" = 1 ]; then
  driver=offscreen
else
  driver=x11
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset -wr \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    alive "$xvfb_pid" || break
    sleep 0.1
  done
  [ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; die "Xvfb did not start"; }
  DISPLAY=":$(head -n 1 "$work/display")"
  export DISPLAY
  unset WAYLAND_DISPLAY
fi

# ---- the X damage watcher ---------------------------------------------------------------------
x_method=none
if [ "$offscreen" = 0 ]; then
  x_method=poll
  if [ "$poll" = 0 ] && command -v cc >/dev/null 2>&1 &&
     cc -O2 -o "$work/first-damage" "$root/tools/first-damage.c" -lXdamage -lXfixes -lX11 2>"$work/cc.log"; then
    x_method=damage
  elif [ "$poll" = 0 ]; then
    echo "measure-startup: tools/first-damage.c did not build (apt-get install libxdamage-dev): polling instead" >&2
  fi
fi
floor_bin=""
if [ "$floor" = 1 ]; then
  [ "$x_method" = damage ] || die "--floor reads the first picture with the X damage watcher (tools/first-damage.c)"
  command -v pkg-config >/dev/null 2>&1 || die "--floor needs pkg-config and SDL2's headers: apt-get install libsdl2-dev"
  cc -O2 -o "$work/floor" "$root/tools/peers/floor/floor.c" $(pkg-config --cflags --libs sdl2) 2>"$work/floor-cc.log" ||
    { cat "$work/floor-cc.log" >&2; die "tools/peers/floor/floor.c did not build (apt-get install libsdl2-dev)"; }
  floor_bin="$work/floor"
fi
if [ -n "$page_dir" ] && [ "$x_method" != damage ]; then
  die "--long-page counts presents with the X damage watcher (tools/first-damage.c, apt-get install libxdamage-dev)"
fi
watch_pid=""
x_begin() { # starts the watcher before a launch and waits until it listens
  [ "$x_method" = damage ] || return 0
  : >"$work/watch.out"
  "$work/first-damage" $(( start_timeout_s * 1000 )) --follow >"$work/watch.out" 2>>"$work/watch.err" &
  watch_pid=$!
  while alive "$watch_pid" && ! grep -q ready "$work/watch.out"; do sleep 0.005; done
}
x_end() { # process, launch time (us): sets x_mapped_us, x_frame_us and x_picture_us (empty when not
          # seen); the watcher goes on counting presents until x_stop
  x_mapped_us=""; x_frame_us=""; x_picture_us=""; x_map_poll_us=""; x_frame_poll_us=""
  if [ "$x_method" = poll ]; then x_poll "$1" "$2" || true; return; fi
  [ "$x_method" = damage ] || return 0
  while alive "$watch_pid" && alive "$1" && ! grep -q '^mapped' "$work/watch.out"; do sleep 0.01; done
  local m d p
  read -r _ m _ d _ p < <(grep '^mapped' "$work/watch.out")
  [ -n "${m:-}" ] && x_mapped_us=$(( m - $2 ))
  [ -n "${d:-}" ] && x_frame_us=$(( d - $2 ))
  [ -n "${p:-}" ] && [ "$p" != 0 ] && x_picture_us=$(( p - $2 ))
  return 0
}
x_stop() { # ends the watcher (the program has ended)
  [ -n "$watch_pid" ] || return 0
  if alive "$watch_pid"; then kill "$watch_pid" 2>/dev/null; fi
  wait "$watch_pid" 2>/dev/null
  watch_pid=""
}
x_presents() { # from, to (absolute us) -> presents a second in between, or nothing without the watcher
  [ "$x_method" = damage ] || return 0
  awk -v a="$1" -v b="$2" '
    $1 == "damage" && $2 >= a && $2 < b { if (last == "" || $2 - last >= 3000) n++; last = $2 }
    END { printf "%.2f\n", n / ((b - a) / 1e6) }' "$work/watch.out"
}
x_present_count() { # from, to (absolute us) -> presents in between
  awk -v a="$1" -v b="$2" '
    $1 == "damage" && $2 >= a && $2 < b { if (last == "" || $2 - last >= 3000) n++; last = $2 }
    END { print n + 0 }' "$work/watch.out"
}

# ---- the X poll --------------------------------------------------------------------------------
found_win=""
find_window() { # sets found_win to a viewable top-level window larger than 1x1; false when none
  local line id
  found_win=""
  while IFS= read -r line; do
    [[ $line =~ ^[[:space:]]+(0x[0-9a-fA-F]+)[[:space:]].*[[:space:]]([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+[[:space:]]+[+-][0-9]+[+-][0-9]+$ ]] || continue
    (( BASH_REMATCH[2] > 1 && BASH_REMATCH[3] > 1 )) || continue
    id=${BASH_REMATCH[1]}
    if xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      found_win=$id
      return 0
    fi
  done < <(xwininfo -root -children 2>/dev/null)
  return 1
}

window_state() { # window id -> 0 painted, 1 blank (one colour, white), 2 no capture
  local cap=$capture h len off bypp first
  xwd -silent -id "$1" >"$cap" 2>/dev/null || return 2
  # XWDFileHeader, big-endian CARD32 fields: 0 header size, 5 height, 7 byte order, 11 bits per pixel,
  # 12 bytes per line, 19 colour entries (12 bytes each, between the header and the pixels).
  read -r -a h < <(od -An -v -w80 -tu4 --endian=big -N80 "$cap") || return 2
  [ "${#h[@]}" -eq 20 ] || return 2
  bypp=$(( h[11] / 8 ))
  len=$(( h[12] * h[5] ))
  off=$(( h[0] + h[19] * 12 ))
  { [ "$bypp" -ge 1 ] && [ "$len" -gt "$bypp" ]; } || return 2
  # One colour when every pixel equals the one after it.
  cmp -s -n $(( len - bypp )) -i "$off:$(( off + bypp ))" "$cap" "$cap" || return 0
  first=$(od -An -v -tx1 -j "$off" -N "$bypp" "$cap" | tr -d ' \n')
  if [ "$bypp" -eq 4 ]; then
    if [ "${h[7]}" -eq 0 ]; then first=${first:0:6}; else first=${first:2:6}; fi
  fi
  [[ $first =~ ^(ff)+$ ]] && return 1
  return 0
}

# Polls the X server for the window of process $1 launched at $2 (us); sets x_mapped_us, x_frame_us
# (relative to the launch, empty when not seen) and the mean poll intervals x_map_poll_us, x_frame_poll_us.
# A poll that sees the change counts from the moment it started: the change happened after the previous
# poll's query and before this one's, which the X server answers a few milliseconds after its start.
x_poll() {
  local pid=$1 t0=$2 deadline=$(( $2 + start_timeout_s * 1000000 )) n=0 begin t rc
  x_mapped_us=""; x_frame_us=""; x_map_poll_us=""; x_frame_poll_us=""
  begin=${EPOCHREALTIME//[.,]/}
  while :; do
    t=${EPOCHREALTIME//[.,]/}; n=$((n + 1))
    find_window && break
    { [ "$t" -lt "$deadline" ] && alive "$pid"; } || return 1
  done
  x_mapped_us=$(( t - t0 )); x_map_poll_us=$(( (${EPOCHREALTIME//[.,]/} - begin) / n ))
  begin=${EPOCHREALTIME//[.,]/}; n=0
  while :; do
    t=${EPOCHREALTIME//[.,]/}; n=$((n + 1))
    window_state "$found_win"; rc=$?
    [ "$rc" -eq 0 ] && break
    { [ "$t" -lt "$deadline" ] && alive "$pid"; } || return 1
    if [ "$rc" -eq 2 ]; then find_window || true; fi  # the window went away: look again
  done
  x_frame_us=$(( t - t0 )); x_frame_poll_us=$(( (${EPOCHREALTIME//[.,]/} - begin) / n ))
}

# ---- /proc readings ----------------------------------------------------------------------------
# Prints "rss_kB hwm_kB own_kB driver_kB heap_and_anon_kB" for process $1.
memory_of() {
  local rss hwm
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null)
  hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null)
  [ -n "$rss" ] && [ -n "$hwm" ] || return 1
  awk -v rss="$rss" -v hwm="$hwm" '
    /^[0-9a-f]+-[0-9a-f]+ / {
      path = (NF >= 6) ? $6 : ""
      name = path; sub(/^.*\//, "", name)
      drv = (path ~ /^\/dev\/dri\//) ||
            (name ~ /^(libGL\.so|libGLX|libGLdispatch|libEGL|libOpenGL|libglapi|libgallium|libLLVM|libz3|libdrm|libgbm|libxcb-glx|libxcb-dri2|libxcb-dri3|libxcb-present|libxcb-sync|libxshmfence|libvulkan|libsensors)/) ||
            (name ~ /_dri\.so$/)
      anon = (path == "" || path == "[heap]")
      next
    }
    /^Private_Dirty:/ { if (drv) d += $2; else { o += $2; if (anon) a += $2 } }
    END { printf "%d %d %d %d %d\n", rss, hwm, o, d, a }' "/proc/$1/smaps" 2>/dev/null
}

# Writes one line per thread of process $1 to file $2: "tid run_ns switches comm".
thread_sample() {
  local t tid run rest comm v nv key val
  : >"$2"
  for t in /proc/"$1"/task/*; do
    tid=${t##*/}
    { read -r run rest <"$t/schedstat" && read -r comm <"$t/comm"; } 2>/dev/null || continue
    v=0; nv=0
    while read -r key val; do
      case $key in
        voluntary_ctxt_switches:) v=$val ;;
        nonvoluntary_ctxt_switches:) nv=$val ;;
      esac
    done <"$t/status" 2>/dev/null
    echo "$tid $run $(( v + nv )) ${comm// /_}" >>"$2"
  done
}

# Compares two samples taken $3 us apart of process $4; prints "cpu_percent wakeups_per_s threads": the
# main thread's wake-ups, then the three names whose threads woke most.
idle_between() {
  awk -v span_us="$3" -v pid="$4" '
    FNR == NR { run[$1] = $2; sw[$1] = $3; next }
    {
      dr = $2 - (($1 in run) ? run[$1] : 0); ds = $3 - (($1 in sw) ? sw[$1] : 0)
      total_run += dr; total_sw += ds; by[$4] += ds
      if ($1 == pid) main = ds
    }
    END {
      s = span_us / 1e6
      top = sprintf("main thread:%.1f/s", main / s)
      for (k = 0; k < 3; k++) {
        best = ""; bv = 0
        for (c in by) if (by[c] > bv) { bv = by[c]; best = c }
        if (best == "") break
        top = top (top == "" ? "" : ",") sprintf("%s:%.1f/s", best, bv / s)
        delete by[best]
      }
      printf "%.4f %.2f %s\n", total_run / (span_us * 10), total_sw / s, (top == "" ? "none" : top)
    }' "$1" "$2"
}

# Distinct shared-library files process $1 maps now.
mapped_libs() {
  awk '$6 ~ /\.so(\.[0-9.]+)?$/ { print $6 }' "/proc/$1/maps" 2>/dev/null | sort -u | wc -l
}

# The shared libraries the dynamic loader loads for the program file $1 before its main.
loaded_libs() {
  LD_TRACE_LOADED_OBJECTS=1 "$1" 2>/dev/null | grep -c /
}

# ---- one run -----------------------------------------------------------------------------------
declare -A vals  # "program metric" -> space-separated values of every run

add() { vals["$1 $2"]="${vals["$1 $2"]:-} $3"; }
ms() { awk -v u="$1" 'BEGIN { printf "%.1f", u / 1000 }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# Starts program $1 ("app", "peer" or "floor") with a fresh data folder, writing to log $2, in folder
# $3 (default: app_w's game, the peer's folder), app_w as a player runs it unless $4 is "-d"; sets
# run_pid and run_t0 (us).
launch() {
  local log=$2 dir=${3:-} debug=${4:-} data
  data=$(mktemp -d "$work/data.XXXXXX")
  run_t0=${EPOCHREALTIME//[.,]/}
  mkdir -m 700 "$data/runtime"
  (
    # A private runtime folder: the single-instance lock lives there, and another copy of the game
    # running on this machine must not make a run fail. The sound server stays reachable.
    if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && [ -z "${PULSE_SERVER:-}" ]; then
      export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    fi
    export XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$data" ZEP_REGISTRY_DIR="$data/registry"
    export XDG_RUNTIME_DIR="$data/runtime" SDL_VIDEODRIVER=$driver
    case $1 in
      app) cd "${dir:-$game}" && exec "$app" ${debug:+"$debug"} game.scm ;;
      peer) cd "${dir:-$peer_dir}" && exec bash -c "exec $peer" ;;
      floor) exec "$floor_bin" ;;
    esac
  ) >"$log" 2>&1 &
  run_pid=$!
}

# Ends the running program with SIGTERM; sets exit_code ("killed" after SIGKILL) and exit_us, the time
# from the signal until the shell has the exit status (SIGKILL after term_timeout_s).
finish() {
  local t killer
  exit_us=0
  if alive "$run_pid"; then
    t=${EPOCHREALTIME//[.,]/}
    kill -TERM "$run_pid" 2>/dev/null
    ( sleep "$term_timeout_s"; kill -KILL "$run_pid" 2>/dev/null; echo killed >"$work/killed" ) &
    killer=$!
    wait "$run_pid"
    exit_code=$?
    exit_us=$(( ${EPOCHREALTIME//[.,]/} - t ))
    kill "$killer" 2>/dev/null
    wait "$killer" 2>/dev/null
    if [ -s "$work/killed" ]; then exit_code=killed; rm -f "$work/killed"; fi
    run_pid=""
    return
  fi
  wait "$run_pid"
  exit_code=$?
  run_pid=""
}
children_cpu() { # sets children_ms: the user + system time of the shell's finished children, in ms
  # (`times` in this shell: a command substitution's subshell has no children)
  times >"$work/times"
  children_ms=$(awk 'function ms(t,  m) { m = t; sub(/m.*/, "", m); sub(/^[0-9]+m/, "", t); sub(/s$/, "", t)
                                       return (m * 60 + t) * 1000 }
                     NR == 2 { printf "%.0f\n", ms($1) + ms($2) }' "$work/times")
}

log_line_us() { # log, text before ": N us after start" -> microseconds after the launch, or nothing
  local w
  w=$(sed -n "s/.*$2: [0-9]* us after start (wall clock \([0-9]*\) us).*/\1/p" "$1" | head -n 1)
  [ -n "$w" ] && echo $(( w - run_t0 ))
}

warm_up() { # $1 app|peer; app_w with -d, for its GL renderer (the warm-up is not measured)
  local log="$work/warmup-$1.log" t
  x_begin
  launch "$1" "$log" "" -d
  t=$(( run_t0 + 5000000 ))
  if [ "$1" = app ]; then
    while alive "$run_pid" && [ "${EPOCHREALTIME//[.,]/}" -lt "$t" ] && ! grep -q 'first frame presented' "$log" 2>/dev/null; do sleep 0.05; done
  fi
  x_end "$run_pid" "$run_t0"
  sleep 1
  finish
  x_stop
}

measure() { # $1 app|peer, $2 run number
  local kind=$1 i=$2 name log shown="" frame="" mem="" libs="" idle reveal_idle="" line rss hwm own drv anon cpu wake top
  local ta="" tb="" ra="" rb="" ev at what early=""
  name=app_w; [ "$kind" = peer ] && name=$peer_name
  log="$work/$kind-$i.log"
  # As a player runs it; under --offscreen with -d: there its log is the only witness of the window
  # shown and the first frame presented, which the X server shows otherwise.
  local debug=""
  [ "$offscreen" = 1 ] && debug=-d
  x_begin
  launch "$kind" "$log" "" "$debug"
  local t0=$run_t0 run_pid_was=$run_pid
  x_end "$run_pid" "$t0"
  if [ "$kind" = app ] && [ "$offscreen" = 1 ]; then
    while alive "$run_pid" && [ $(( ${EPOCHREALTIME//[.,]/} - t0 )) -lt $(( start_timeout_s * 1000000 )) ] &&
          ! grep -q 'first frame presented' "$log" 2>/dev/null; do sleep 0.01; done
    shown=$(log_line_us "$log" "window shown")
    frame=$(log_line_us "$log" "first frame presented")
  fi
  # The timed readings in time order (ties as listed): the reveal window, memory, the idle window.
  local events="$mem_at_s:mem $idle_from_s:i1 $(( idle_from_s + idle_s )):i2"
  [ -n "$reveal_a" ] && events="$reveal_a:r1 $reveal_b:r2 $events"
  for ev in $(tr ' ' '\n' <<<"$events" | sort -s -t: -k1,1n); do
    at=${ev%%:*}; what=${ev##*:}
    sleep_until_us $(( t0 + at * 1000000 ))
    if ! alive "$run_pid"; then early=$at; break; fi
    case $what in
      mem) mem=$(memory_of "$run_pid") || { early=$at; break; }
           libs=$(mapped_libs "$run_pid") ;;
      r1) ra=${EPOCHREALTIME//[.,]/}; thread_sample "$run_pid" "$work/$kind-$i.ra" ;;
      r2) rb=${EPOCHREALTIME//[.,]/}; thread_sample "$run_pid" "$work/$kind-$i.rb" ;;
      i1) ta=${EPOCHREALTIME//[.,]/}; thread_sample "$run_pid" "$work/$kind-$i.a" ;;
      i2) tb=${EPOCHREALTIME//[.,]/}; thread_sample "$run_pid" "$work/$kind-$i.b" ;;
    esac
  done
  finish
  x_stop
  if [ -n "$early" ]; then
    echo "run $i $name: ended before ${early} s (exit $exit_code); log: $log" >&2
    grep -v '^\[TRACE\]' "$log" | tail -n 3 | sed 's/^/  | /' >&2
    keep=1
    return
  fi
  idle=$(idle_between "$work/$kind-$i.a" "$work/$kind-$i.b" $(( tb - ta )) "$run_pid_was")
  [ -n "$ra" ] && reveal_idle=$(idle_between "$work/$kind-$i.ra" "$work/$kind-$i.rb" $(( rb - ra )) "$run_pid_was")

  read -r rss hwm own drv anon <<<"$mem"
  read -r cpu wake top <<<"$idle"
  line="run $i/$runs $name:"
  if [ "$kind" = app ] && [ "$offscreen" = 1 ]; then
    line+=" log: shown ${shown:+$(ms "$shown")} ms, first frame ${frame:+$(ms "$frame")} ms;"
    [ -n "$shown" ] && add "$kind" shown "$shown"
    [ -n "$frame" ] && add "$kind" frame "$frame"
    [ -z "$frame" ] && echo "run $i $name: no 'first frame presented' line (is this app_w with -d logging?)" >&2
  fi
  if [ "$offscreen" = 0 ]; then
    line+=" X $x_method: mapped ${x_mapped_us:+$(ms "$x_mapped_us")} ms, first frame ${x_frame_us:+$(ms "$x_frame_us")} ms"
    [ "$x_method" = damage ] && line+=", first picture ${x_picture_us:+$(ms "$x_picture_us")} ms"
    [ "$x_method" = poll ] &&
      line+=" (polls every ${x_map_poll_us:+$(ms "$x_map_poll_us")} / ${x_frame_poll_us:+$(ms "$x_frame_poll_us")} ms)"
    line+=";"
    [ -n "$x_mapped_us" ] && add "$kind" xmapped "$x_mapped_us"
    [ -n "$x_frame_us" ] && add "$kind" xframe "$x_frame_us"
    [ -n "$x_picture_us" ] && add "$kind" xpicture "$x_picture_us"
    [ -n "$x_map_poll_us" ] && add "$kind" xmappoll "$x_map_poll_us"
    [ -n "$x_frame_poll_us" ] && add "$kind" xframepoll "$x_frame_poll_us"
  fi
  local presents reveal_presents rcpu rwake rtop
  presents=$(x_presents "$ta" "$tb")
  line+=" RSS $(mib "$rss") MiB, HWM $(mib "$hwm") MiB, own $(mib "$own") MiB (heap+anon $(mib "$anon")), driver $(mib "$drv") MiB;"
  line+=" $libs libraries mapped;"
  if [ -n "$reveal_idle" ]; then
    read -r rcpu rwake rtop <<<"$reveal_idle"
    reveal_presents=$(x_presents "$ra" "$rb")
    line+=" revealing ${rcpu} % CPU, ${rwake} wake-ups/s${reveal_presents:+, $reveal_presents presents/s} ($rtop);"
    add "$kind" rcpu "$rcpu"; add "$kind" rwake "$rwake"
    [ -n "$reveal_presents" ] && add "$kind" rpresents "$reveal_presents"
  fi
  line+=" idle ${cpu} % CPU, ${wake} wake-ups/s${presents:+, $presents presents/s} ($top); exit $exit_code after $(ms "$exit_us") ms"
  echo "$line"
  add "$kind" rss "$rss"; add "$kind" hwm "$hwm"; add "$kind" own "$own"; add "$kind" drv "$drv"
  add "$kind" anon "$anon"; add "$kind" cpu "$cpu"; add "$kind" wake "$wake"; add "$kind" exitus "$exit_us"
  add "$kind" libs "$libs"
  [ -n "$presents" ] && add "$kind" presents "$presents"
}

# The floor's window and first picture; $1 run number.
measure_floor() {
  local i=$1 log="$work/floor-$i.log"
  x_begin
  launch floor "$log"
  local t0=$run_t0
  x_end "$run_pid" "$t0"
  finish
  x_stop
  echo "run $i/$runs floor: X $x_method: mapped ${x_mapped_us:+$(ms "$x_mapped_us")} ms, first frame ${x_frame_us:+$(ms "$x_frame_us")} ms, first picture ${x_picture_us:+$(ms "$x_picture_us")} ms; exit $exit_code"
  [ -n "$x_mapped_us" ] && add floor xmapped "$x_mapped_us"
  [ -n "$x_frame_us" ] && add floor xframe "$x_frame_us"
  [ -n "$x_picture_us" ] && add floor xpicture "$x_picture_us"
  [ "$exit_code" = 0 ] || { echo "run $i floor: exit $exit_code; log: $log" >&2; keep=1; }
}

# The quit-at-once game: launch to exit and the CPU; $1 app|peer, $2 run number.
measure_quit() {
  local kind=$1 i=$2 log="$work/quit-$1-$2.log" name before after t1 code
  name=app_w; [ "$kind" = peer ] && name=$peer_name
  children_cpu; before=$children_ms
  launch "$kind" "$log" "$quit_dir"
  ( sleep "$start_timeout_s"; kill -KILL "$run_pid" 2>/dev/null ) &
  local killer=$!
  wait "$run_pid"
  code=$?
  t1=${EPOCHREALTIME//[.,]/}
  kill "$killer" 2>/dev/null
  wait "$killer" 2>/dev/null
  children_cpu; after=$children_ms
  run_pid=""
  echo "run $i/$runs $name, quit-at-once game: exit $code after $(ms $(( t1 - run_t0 ))) ms from launch, CPU $(( after - before )) ms"
  add "$kind" quitus "$(( t1 - run_t0 ))"
  add "$kind" quitcpu "$(( after - before ))"
  [ "$code" = 0 ] || { echo "run $i $name quit-at-once game: exit $code; log: $log" >&2; keep=1; }
}

# The music game: SIGTERM at music_at_s and the time to exit; $1 app|peer, $2 run number.
measure_music() {
  local kind=$1 i=$2 log="$work/music-$1-$2.log" name
  name=app_w; [ "$kind" = peer ] && name=$peer_name
  launch "$kind" "$log" "$music_dir"
  sleep_until_us $(( run_t0 + music_at_s * 1000000 ))
  if ! alive "$run_pid"; then
    finish
    echo "run $i $name music game: ended before ${music_at_s} s (exit $exit_code); log: $log" >&2
    keep=1
    return
  fi
  finish
  echo "run $i/$runs $name, music game: exit $exit_code $(ms "$exit_us") ms after SIGTERM"
  add "$kind" musicus "$exit_us"
}

# The long page: CPU per present early and late; $1 app|peer, $2 run number.
measure_page() {
  local kind=$1 i=$2 log="$work/page-$1-$2.log" name e1 e2 l1 l2 ce cl pe pl
  name=app_w; [ "$kind" = peer ] && name=$peer_name
  x_begin
  launch "$kind" "$log" "$page_dir"
  local t0=$run_t0 pid=$run_pid
  x_end "$run_pid" "$t0"
  sleep_until_us $(( t0 + early_a * 1000000 )); e1=${EPOCHREALTIME//[.,]/}; thread_sample "$pid" "$work/page.e1"
  sleep_until_us $(( t0 + early_b * 1000000 )); e2=${EPOCHREALTIME//[.,]/}; thread_sample "$pid" "$work/page.e2"
  sleep_until_us $(( t0 + late_a * 1000000 )); l1=${EPOCHREALTIME//[.,]/}; thread_sample "$pid" "$work/page.l1"
  sleep_until_us $(( t0 + late_b * 1000000 )); l2=${EPOCHREALTIME//[.,]/}; thread_sample "$pid" "$work/page.l2"
  if ! alive "$pid"; then
    finish; x_stop
    echo "run $i $name long page: ended before ${late_b} s (exit $exit_code); log: $log" >&2
    keep=1
    return
  fi
  finish
  x_stop
  ce=$(cpu_ns_between "$work/page.e1" "$work/page.e2"); cl=$(cpu_ns_between "$work/page.l1" "$work/page.l2")
  pe=$(x_present_count "$e1" "$e2"); pl=$(x_present_count "$l1" "$l2")
  if [ "$pe" -lt 1 ] || [ "$pl" -lt 1 ]; then
    echo "run $i $name long page: no presents early ($pe) or late ($pl); log: $log" >&2
    keep=1
    return
  fi
  local early_us=$(( ce / pe / 1000 )) late_us=$(( cl / pl / 1000 ))
  echo "run $i/$runs $name, long page: early $(ms "$early_us") ms CPU a present ($pe presents), late $(ms "$late_us") ms ($pl presents), late / early $(awk -v a="$late_us" -v b="$early_us" 'BEGIN { printf "%.2f", a / b }')"
  add "$kind" pageearly "$early_us"
  add "$kind" pagelate "$late_us"
  add "$kind" pageratio "$(awk -v a="$late_us" -v b="$early_us" 'BEGIN { printf "%.4f", a / b }')"
}

# The summed run time (ns) of the threads in sample $2 less sample $1 (threads that ended are left out).
cpu_ns_between() {
  awk 'FNR == NR { run[$1] = $2; next } { total += $2 - (($1 in run) ? run[$1] : 0) } END { printf "%d\n", total }' "$1" "$2"
}

# ---- the report --------------------------------------------------------------------------------
stats() { # values, scale divisor, printf format -> "min / median / max" (n runs) or "-"
  echo "$1" | awk -v div="$2" -v fmt="$3" '
    { for (i = 1; i <= NF; i++) v[n++] = $i / div }
    END {
      if (n == 0) { print "-"; exit }
      for (i = 1; i < n; i++) for (j = i; j > 0 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      med = (n % 2) ? v[int(n / 2)] : (v[n / 2 - 1] + v[n / 2]) / 2
      printf(fmt " / " fmt " / " fmt, v[0], med, v[n - 1])
    }'
}
fixed() { awk -v v="$1" -v d="$2" 'BEGIN { printf "%.*f", d, v }'; }
median() { stats "$1" 1 "%.4f" | awk -F' / ' '{ print ($2 == "") ? "" : $2 }'; }

peer_name="peer"
if [ -n "$peer" ]; then
  read -r peer_name _ <<<"$peer"
  peer_name=${peer_name##*/}
fi

echo "measure-startup: $app on $game ($runs runs$([ -n "$peer" ] && echo ", interleaved with $peer_name"))"
echo "machine: $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(nproc) CPUs online," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg), kernel $(uname -r)"
if [ "$offscreen" = 1 ]; then
  echo "video: SDL offscreen driver (EGL), no X server: X-poll figures and --peer are not available"
else
  echo "video: Xvfb $DISPLAY (1280x1024x24, white root, no window manager), SDL_VIDEODRIVER=x11"
fi
envs=""
for v in LP_NUM_THREADS GALLIUM_DRIVER LIBGL_ALWAYS_SOFTWARE MESA_LOADER_DRIVER_OVERRIDE \
         MESA_SHADER_CACHE_DISABLE MESA_SHADER_CACHE_DIR SDL_AUDIODRIVER; do
  envs+=" $v=${!v-(unset)}"
done
echo "environment (left as found):$envs"
[ -z "${LP_NUM_THREADS+x}" ] && echo "  (LP_NUM_THREADS unset: app_w asks llvmpipe for one rasteriser thread per 640x720 window pixels, 2 to 4 and at most one per CPU; other programs get one per CPU, at most 16)"
echo "each run: fresh XDG_DATA_HOME / XDG_CONFIG_HOME / XDG_RUNTIME_DIR / ZEP_REGISTRY_DIR; memory at ${mem_at_s} s;" \
  "${reveal_a:+revealing from $reveal_a s to $reveal_b s; }idle from ${idle_from_s} s to $(( idle_from_s + idle_s )) s"

if [ "$warmup" = 1 ]; then
  echo "warm-up: one unmeasured start of each program"
  warm_up app
  [ -n "$peer" ] && warm_up peer
  [ "$floor" = 1 ] && warm_up floor
fi
renderer=$(sed -n 's/.*GL_RENDERER : \(.*\)$/\1/p' "$work/warmup-app.log" 2>/dev/null | head -n 1)
[ -n "$renderer" ] && echo "app_w's GL renderer: $renderer"

for i in $(seq "$runs"); do
  measure app "$i"
  [ -n "$peer" ] && measure peer "$i"
  [ "$floor" = 1 ] && measure_floor "$i"
  for kind in app peer; do
    [ "$kind" = peer ] && [ -z "$peer" ] && continue
    [ -n "$quit_dir" ] && measure_quit "$kind" "$i"
    [ -n "$music_dir" ] && measure_music "$kind" "$i"
    [ -n "$page_dir" ] && measure_page "$kind" "$i"
  done
done

# Libraries loaded before main, once per program file.
add app loaded "$(loaded_libs "$app")"
if [ -n "$peer" ]; then
  read -r peer_bin _ <<<"$peer"
  peer_bin=$(cd "$peer_dir" && command -v "$peer_bin")
  [ -n "$peer_bin" ] && add peer loaded "$(loaded_libs "$peer_bin")"
fi

echo
kinds="app"
[ -n "$peer" ] && kinds+=" peer"
[ "$floor" = 1 ] && kinds+=" floor"
name_of() { case $1 in app) echo app_w ;; peer) echo "$peer_name" ;; floor) echo floor ;; esac; }
ratio() { # metric, kind -> app_w's median over that kind's, or "-"
  local a p
  a=$(median "${vals[app $1]:-}"); p=$(median "${vals[$2 $1]:-}")
  if [ -n "$a" ] && [ -n "$p" ] && awk -v p="$p" 'BEGIN { exit !(p > 0) }'; then
    awk -v a="$a" -v p="$p" 'BEGIN { printf "%.2f x", a / p }'
  else
    echo "-"
  fi
}
row() { # label, metric, divisor, format; then the ratio of app_w's median to each other column's
  local out kind
  out=$(printf '%-48s' "$1")
  for kind in $kinds; do out+=$(printf '  %-28s' "$(stats "${vals["$kind $2"]:-}" "$3" "$4")"); done
  for kind in $kinds; do [ "$kind" = app ] || out+=$(printf '  %-10s' "$(ratio "$2" "$kind")"); done
  echo "$out"
}
header=$(printf '%-48s' "min / median / max over $runs runs")
for kind in $kinds; do header+=$(printf '  %-28s' "$(name_of "$kind")"); done
for kind in $kinds; do [ "$kind" = app ] || header+=$(printf '  %-10s' "/ $(name_of "$kind")"); done
echo "$header"
if [ "$offscreen" = 1 ]; then
  row "window shown (log), ms" shown 1000 "%.1f"
  row "first frame presented (log), ms" frame 1000 "%.1f"
else
  row "window mapped (X $x_method), ms" xmapped 1000 "%.1f"
  row "first frame presented (X $x_method), ms" xframe 1000 "%.1f"
  [ "$x_method" = damage ] && row "first picture, more than 3 colours (X damage), ms" xpicture 1000 "%.1f"
  if [ "$x_method" = poll ]; then
    row "  mean poll interval, window (X poll), ms" xmappoll 1000 "%.1f"
    row "  mean poll interval, frame (X poll), ms" xframepoll 1000 "%.1f"
  fi
fi
row "resident memory at ${mem_at_s} s (VmRSS), MiB" rss 1024 "%.1f"
row "peak resident memory (VmHWM), MiB" hwm 1024 "%.1f"
row "own memory: private dirty outside driver, MiB" own 1024 "%.1f"
row "  of it heap and anonymous, MiB" anon 1024 "%.1f"
row "GL driver's private dirty, MiB" drv 1024 "%.1f"
row "shared libraries loaded before main" loaded 1 "%.0f"
row "shared libraries mapped at ${mem_at_s} s" libs 1 "%.0f"
if [ -n "$reveal_a" ]; then
  row "CPU while the page reveals, % of one core" rcpu 1 "%.3f"
  row "  wake-ups a second" rwake 1 "%.1f"
  [ "$x_method" = damage ] && row "  presents a second" rpresents 1 "%.2f"
fi
row "idle CPU, % of one core" cpu 1 "%.3f"
row "idle wake-ups a second" wake 1 "%.1f"
[ "$x_method" = damage ] && row "idle presents a second" presents 1 "%.2f"
row "time to exit after SIGTERM, ms" exitus 1000 "%.1f"
if [ -n "$quit_dir" ]; then
  row "quit-at-once game: launch to exit, ms" quitus 1000 "%.1f"
  row "  its CPU (all threads), ms" quitcpu 1 "%.0f"
fi
[ -n "$music_dir" ] && row "music playing: SIGTERM to exit, ms" musicus 1000 "%.1f"
if [ -n "$page_dir" ]; then
  row "long page: CPU a present ${early_a}-${early_b} s, ms" pageearly 1000 "%.2f"
  row "long page: CPU a present ${late_a}-${late_b} s, ms" pagelate 1000 "%.2f"
  row "  late / early (per run)" pageratio 1 "%.2f"
fi

echo
verdict() { # label, value, comparison awk expression on v, goal text
  [ -n "$2" ] || { echo "goal: $1: no figure"; return; }
  if awk -v v="$2" "BEGIN { exit !($3) }"; then echo "goal: $1 $4: met"; else echo "goal: $1 $4: NOT met"; fi
}
wake_med=$(median "${vals[app wake]:-}")
cpu_med=$(median "${vals[app cpu]:-}")
verdict "idle wake-ups a second (median ${wake_med:+$(fixed "$wake_med" 1)})" "$wake_med" "v <= 5" "<= 5"
verdict "idle CPU % of one core (median ${cpu_med:+$(fixed "$cpu_med" 3)})" "$cpu_med" "v < 0.1" "< 0.1"
own_med=$(median "${vals[app own]:-}")
verdict "engine's own memory (median ${own_med:+$(mib "$own_med")} MiB)" "$own_med" "v < 16384" "< 16 MiB"
pres_med=$(median "${vals[app presents]:-}")
[ -n "$pres_med" ] && verdict "idle presents a second (median $(fixed "$pres_med" 2))" "$pres_med" "v == 0" "= 0"
loaded=$(median "${vals[app loaded]:-}")
verdict "shared libraries loaded before main (${loaded:+$(fixed "$loaded" 0)})" "$loaded" "v <= 70" "<= 70"
libs_med=$(median "${vals[app libs]:-}")
verdict "shared libraries mapped at ${mem_at_s} s (median ${libs_med:+$(fixed "$libs_med" 0)})" "$libs_med" "v <= 100" "<= 100"
compare() { # label, metric, goal ratio: app_w's median over the peer's
  local a p r
  a=$(median "${vals[app $2]:-}"); p=$(median "${vals[peer $2]:-}")
  if [ -z "$a" ] || [ -z "$p" ] || ! awk -v p="$p" 'BEGIN { exit !(p > 0) }'; then
    echo "goal: $1 against $peer_name: no figure"
    return
  fi
  r=$(awk -v a="$a" -v p="$p" 'BEGIN { printf "%.2f", a / p }')
  verdict "$1 app_w / $peer_name = $r" "$r" "v <= $3" "<= $3"
}
if [ -n "$peer" ]; then
  [ -n "$reveal_a" ] && compare "CPU while the page reveals (medians)" rcpu 1.0
  compare "own memory (medians)" own 1.0
  compare "time to exit after SIGTERM (medians)" exitus 1.0
  [ -n "$quit_dir" ] && compare "quit-at-once game, launch to exit (medians)" quitus 1.0
  [ -n "$music_dir" ] && compare "music playing, SIGTERM to exit (medians)" musicus 1.0
fi
if [ -n "$page_dir" ]; then
  r=$(median "${vals[app pageratio]:-}")
  verdict "long page: app_w's CPU a present late / early (median ${r:+$(fixed "$r" 2)})" "$r" "v <= 1.2" "<= 1.2"
fi
# The first picture against the floor when it ran, else against the peer.
pic_kind=""
[ -n "$peer" ] && pic_kind=peer
[ "$floor" = 1 ] && pic_kind=floor
if [ -n "$pic_kind" ] && [ "$x_method" = damage ]; then
  a=$(median "${vals[app xpicture]:-}"); p=$(median "${vals[$pic_kind xpicture]:-}")
  if [ -n "$a" ] && [ -n "$p" ]; then
    r=$(awk -v a="$a" -v p="$p" 'BEGIN { printf "%.2f", a / p }')
    verdict "first picture (X damage medians, same rounds) app_w / $(name_of "$pic_kind") = $r" "$r" "v <= 1.1" "<= 1.1"
  else
    echo "goal: first picture against $(name_of "$pic_kind"): no figure"
  fi
fi
