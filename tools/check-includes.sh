#!/usr/bin/env bash
# Keeps every outside header in its owner folder:
#   SDL, Xlib, POSIX/Linux system headers, fontconfig, FFmpeg -> platform/
#   OpenGL, FreeType, libpng                            -> gdev/
#   zlib                                                -> app/
#   libvorbis, libogg                                   -> sound/
# and keeps platform/ free of engine headers. Tests count as the folder they
# mirror (tests/gdev/ may use OpenGL to read pixels back, for example). The C
# programs in tools/ stand alone (measuring helpers, never linked with the
# engine) and are not checked.
set -uo pipefail
cd "$(dirname "$0")/.."

engine_dirs="app script gdev scene gamestate sound userfunc setup"
fail=0

owner_of() {  # header -> owner folder, or empty for everyone's
  local h=$1
  case "$h" in
    SDL2/*|SDL.h|SDL_*.h|X11/*|unistd.h|fcntl.h|sys/*|spawn.h|iconv.h|dirent.h|pthread.h|dlfcn.h|pwd.h|poll.h|termios.h|fontconfig/*|libavformat/*|libavcodec/*|libswscale/*|libswresample/*|libavutil/*)
      echo platform ;;
    GL/*|GLES*/*|EGL/*|ft2build.h|freetype/*|png.h|pngconf.h)
      echo gdev ;;
    zlib.h|zconf.h)
      echo app ;;
    vorbis/*|ogg/*)
      echo sound ;;
    *) echo "" ;;
  esac
}

folder_of() {  # file path -> the folder whose rules apply
  local f=$1
  case "$f" in
    tests/*) f=${f#tests/} ;;
  esac
  echo "${f%%/*}"
}

while IFS= read -r file; do
  [[ "$file" == tools/*.c ]] && continue
  folder=$(folder_of "$file")
  while IFS= read -r line; do
    header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
    owner=$(owner_of "$header")
    if [ -n "$owner" ] && [ "$owner" != "$folder" ]; then
      echo "check-includes: $file includes <$header>, which only $owner/ may include"
      fail=1
    fi
    if [ "$folder" = platform ] && [[ "$file" != tests/* ]]; then
      for d in $engine_dirs; do
        if [[ "$header" == "$d/"* ]]; then
          echo "check-includes: $file includes \"$header\": platform/ includes no engine folder"
          fail=1
        fi
      done
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(git ls-files -co --exclude-standard -- '*.h' '*.hpp' '*.cpp' '*.cc' '*.c')

if [ $fail -ne 0 ]; then
  exit 1
fi
echo "check-includes: ok"
