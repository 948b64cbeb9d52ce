# Sourced by the Wine helpers: where the cached Wine prefix lives and the environment that every
# Windows test process runs with. Not executable on its own.
ZQ_CACHE_DIR=${ZQ_CACHE_DIR:-/var/cache/zorqa}
# Bump the revision when the prefix setup below changes, so machines make a new prefix.
ZQ_WINE_PREFIX_REVISION=1
export WINEPREFIX=${ZQ_WINEPREFIX:-$ZQ_CACHE_DIR/wine-prefix-r$ZQ_WINE_PREFIX_REVISION}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# There is no sound card here: without a null ALSA device, XAudio2's mastering voice crashes
# inside Wine and DirectSoundCreate8 fails. The fake HOME carries the same setting as .asoundrc.
ZQ_WINE_HOME=$ZQ_CACHE_DIR/wine-home
export ALSA_CONFIG_PATH=$ZQ_WINE_HOME/alsa-null.conf

zq_wine_home_setup() {
    mkdir -p "$ZQ_WINE_HOME"
    if [ ! -f "$ALSA_CONFIG_PATH" ]; then
        printf '</usr/share/alsa/alsa.conf>\npcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$ALSA_CONFIG_PATH.tmp"
        mv "$ALSA_CONFIG_PATH.tmp" "$ALSA_CONFIG_PATH"
    fi
    [ -f "$ZQ_WINE_HOME/.asoundrc" ] || printf 'pcm.!default { type null }\n' > "$ZQ_WINE_HOME/.asoundrc"
}

# Creates the prefix once per machine (about 10 s), under a lock so parallel tests wait for it.
zq_wine_prefix_setup() {
    zq_wine_home_setup
    [ -f "$WINEPREFIX/.zorqa-ready" ] && return 0
    mkdir -p "$ZQ_CACHE_DIR"
    (
        flock 9
        [ -f "$WINEPREFIX/.zorqa-ready" ] && exit 0
        rm -rf "$WINEPREFIX"
        HOME=$ZQ_WINE_HOME wineboot -i >/dev/null 2>&1 || true
        HOME=$ZQ_WINE_HOME wineserver -w
        # A crash prints a backtrace and exits instead of waiting in the debugger's dialog.
        HOME=$ZQ_WINE_HOME wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        # DestroyWindow would otherwise wait 2 s for a window manager that Xvfb does not have.
        HOME=$ZQ_WINE_HOME wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        HOME=$ZQ_WINE_HOME wineserver -w
        touch "$WINEPREFIX/.zorqa-ready"
    ) 9>"$ZQ_CACHE_DIR/wine-prefix.lock"
}
