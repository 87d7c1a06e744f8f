# Sourced by the scripts: which Windows architecture this machine can run
# under Wine, and where its build lives.
#
# pelko ships as a 32-bit executable. Where the kernel cannot execute 32-bit
# code (no IA-32 emulation, so 32-bit Wine cannot start), the same sources
# are built for x86_64 and run under 64-bit Wine instead.
pelko_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -z "${PELKO_ARCH:-}" ]; then
    if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        PELKO_ARCH=i686
    else
        PELKO_ARCH=x86_64
    fi
fi
export PELKO_ARCH
PELKO_BUILD="${PELKO_BUILD:-$pelko_root/build}"
PELKO_SHIPPED_BUILD="$pelko_root/build-i686"

# configure_and_build DIR ARCH [targets...]
configure_and_build() {
    local dir=$1 arch=$2
    shift 2
    # A build made with another toolchain file is configured afresh.
    local toolchain="$pelko_root/cmake/toolchain-mingw.cmake"
    local stamp
    stamp=$(sha256sum "$toolchain" | cut -d' ' -f1)
    if [ -f "$dir/CMakeCache.txt" ] && [ "$(cat "$dir/toolchain.stamp" 2>/dev/null)" != "$stamp" ]; then
        rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles" "$dir/build.ninja"
    fi
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$pelko_root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$pelko_root/cmake/toolchain-mingw.cmake" \
            -DPELKO_ARCH="$arch" -DPELKO_SHIPPED_DIR="$PELKO_SHIPPED_BUILD/bin" >/dev/null
        echo "$stamp" >"$dir/toolchain.stamp"
    fi
    cmake --build "$dir" -- "$@"
}

# Xvfb on a free display and a persistent wineserver on the build's prefix;
# stop_session undoes both.
start_session() {
    export WINEPREFIX="$PELKO_BUILD/wineprefix"
    if [ -z "${DISPLAY:-}" ] || [ "${PELKO_OWN_DISPLAY:-}" = 1 ]; then
        local n=90
        while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
        PELKO_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    fi
    (wineserver -p >/dev/null 2>&1 </dev/null &)
    "$PELKO_BUILD/wine-run" cmd /c exit >/dev/null 2>&1 </dev/null || true
    # Wine's own fonts, which it does not find by itself here: Marlett draws
    # the title bar's buttons, Tahoma stands for "MS Shell Dlg".
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # Without a window manager, Wine waits for one each time a managed window
    # closes; unmanaged windows close at once.
    "$PELKO_BUILD/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >/dev/null 2>&1 </dev/null || true
}

stop_session() {
    WINEPREFIX="$PELKO_BUILD/wineprefix" wineserver -k >/dev/null 2>&1 || true
    if [ -n "${PELKO_XVFB_PID:-}" ]; then
        kill "$PELKO_XVFB_PID" 2>/dev/null || true
        wait "$PELKO_XVFB_PID" 2>/dev/null || true
    fi
}
