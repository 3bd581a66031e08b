#!/usr/bin/env python3
"""Types keys into an X window through the XTEST extension, as a keyboard
would: xkeys.py WINDOW_ID KEY...  where KEY is an X keysym name ("7",
"Return", "z"), optionally with modifiers ("ctrl+z", "ctrl+shift+z").
Exits 77 when libX11 or libXtst cannot be loaded."""
import ctypes
import ctypes.util
import sys
import time


def load(name, soname):
    path = ctypes.util.find_library(name) or soname
    try:
        return ctypes.CDLL(path)
    except OSError:
        print(f"{soname} is not installed: skipped")
        sys.exit(77)


def main():
    x11 = load("X11", "libX11.so.6")
    xtst = load("Xtst", "libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.restype = ctypes.c_ubyte
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

    display = x11.XOpenDisplay(None)
    if not display:
        print("cannot open the display")
        sys.exit(1)
    window = int(sys.argv[1], 0)
    # RevertToParent, CurrentTime: no window manager hands out the focus.
    x11.XSetInputFocus(display, window, 2, 0)
    x11.XSync(display, 0)
    time.sleep(0.3)

    modifiers = {"ctrl": "Control_L", "shift": "Shift_L", "alt": "Alt_L"}

    def code(name):
        keysym = x11.XStringToKeysym(name.encode())
        keycode = x11.XKeysymToKeycode(display, keysym)
        if not keysym or not keycode:
            print(f"no key for {name}")
            sys.exit(1)
        return keycode

    for key in sys.argv[2:]:
        parts = key.split("+") if len(key) > 1 else [key]
        held = [code(modifiers[p]) for p in parts[:-1]]
        main_key = code(parts[-1])
        for keycode in held:
            xtst.XTestFakeKeyEvent(display, keycode, 1, 0)
        xtst.XTestFakeKeyEvent(display, main_key, 1, 0)
        xtst.XTestFakeKeyEvent(display, main_key, 0, 0)
        for keycode in reversed(held):
            xtst.XTestFakeKeyEvent(display, keycode, 0, 0)
        x11.XSync(display, 0)
        time.sleep(0.2)


if __name__ == "__main__":
    main()
