#!/usr/bin/python3
"""Makes the README's screenshots: the result page with copies marked by a rule, or with
--options the new search page with the options of a search open.

Runs the real application under Xvfb with a throw-away home, answers the launcher's folder
dialog with a small sample tree, starts the scan and captures the window once the groups
are in. Run it again whenever the look changes:

    /usr/bin/python3 tools/screenshot.py [--app build/app/tarvik] [--out tools/screenshot-result.png]
    /usr/bin/python3 tools/screenshot.py --options [--out tools/screenshot-options.png]
    /usr/bin/python3 tools/screenshot.py --lang de [--options]   # the window in German

Needs Xvfb, ImageMagick's `import`, libX11/libXtst (both come with Xvfb's dependencies) and
python3-pil. Input goes through the XTEST extension, so no other tool is needed.
"""

import argparse
import ctypes
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# The window places itself here; there is no window manager to move it.
WINDOW = (100, 100, 480, 600)
BUTTON_BLUE = (0x34, 0x98, 0xDB)

SAMPLE = [
    # (size in bytes, paths below the chosen folder that share one content)
    (2_411_724, ["Holiday 2025/IMG_2041.jpg", "Phone backup/IMG_2041.jpg",
                 "Phone backup/IMG_2041 (1).jpg"]),
    (187_392, ["Documents/Invoice-0311.pdf", "Downloads/Invoice-0311.pdf"]),
    (5_873_664, ["Music/Sunrise.flac", "Downloads/Sunrise.flac"]),
    (41_216, ["Documents/notes.txt", "Documents/Old/notes copy.txt"]),
    (958_464, ["Holiday 2025/IMG_2102.jpg", "Desktop/beach.jpg"]),
]


class Xtest:
    """Just enough of Xlib and XTEST to move, click and type."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XKeycodeToKeysym.restype = ctypes.c_ulong
        self.x11.XKeycodeToKeysym.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)

    def click(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        self.x11.XFlush(self.dpy)
        time.sleep(0.1)
        for down in (1, 0):
            self.xtst.XTestFakeButtonEvent(self.dpy, 1, down, 0)
            self.x11.XFlush(self.dpy)
            time.sleep(0.05)

    def key(self, name):
        keysym = self.x11.XStringToKeysym(name.encode())
        code = self.x11.XKeysymToKeycode(self.dpy, keysym)
        shift = self.x11.XKeycodeToKeysym(self.dpy, code, 0) != keysym
        shift_code = self.x11.XKeysymToKeycode(self.dpy, self.x11.XStringToKeysym(b"Shift_L"))
        if shift:
            self.xtst.XTestFakeKeyEvent(self.dpy, shift_code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        if shift:
            self.xtst.XTestFakeKeyEvent(self.dpy, shift_code, 0, 0)
        self.x11.XFlush(self.dpy)
        time.sleep(0.03)

    def type(self, text):
        names = {" ": "space", "/": "slash", ".": "period", "-": "minus", "_": "underscore",
                 "*": "asterisk", ",": "comma"}
        for ch in text:
            self.key(names.get(ch, ch))


def grab(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", path], check=True)
    return Image.open(path).convert("RGB")


def find_button(image, top, bottom):
    """Centre of the push-button blue between two heights of the window, or None."""
    x0, y0, w, h = WINDOW
    xs, ys = [], []
    for y in range(y0 + top, y0 + bottom):
        for x in range(x0, x0 + w):
            if image.getpixel((x, y)) == BUTTON_BLUE:
                xs.append(x)
                ys.append(y)
    if len(xs) < 200:
        return None
    return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2


def wait_for(what, test, timeout=20.0):
    end = time.time() + timeout
    while time.time() < end:
        found = test()
        if found:
            return found
        time.sleep(0.25)
    raise RuntimeError("timed out waiting for " + what)


def make_sample(folder):
    rng = random.Random(2026)
    for size, paths in SAMPLE:
        content = bytes(rng.getrandbits(8) for _ in range(min(size, 4096)))
        content = (content * (size // len(content) + 1))[:size]
        for rel in paths:
            path = os.path.join(folder, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(content)
    for rel in ["Documents/report.odt", "Music/Evening.flac", "Desktop/todo.txt"]:
        path = os.path.join(folder, rel)
        with open(path, "wb") as f:
            f.write(rel.encode() * 50)


def fill_options(x, x0, y0):
    """Opens the options of the search and types into them, as a user would."""
    x.click(x0 + 240, y0 + 30)
    x.type("*.jpg, *.flac")
    x.click(x0 + 407, y0 + 30)
    time.sleep(0.5)
    for (fx, fy), text in (((165, 81), "100K"), ((374, 81), "2G"),
                           ((270, 114), "node_modules, **/build/**, Phone backup/*/thumbs")):
        x.click(x0 + fx, y0 + fy)
        x.type(text)
    # On the check box's text, which begins further right in a longer language.
    x.click(x0 + 200, y0 + 146)
    # Away from every field, so that no tool tip covers them.
    x.click(x0 + 240, y0 + 400)
    time.sleep(0.8)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", default=os.path.join(ROOT, "build", "app", "tarvik"))
    parser.add_argument("--out")
    parser.add_argument("--options", action="store_true",
                        help="show the new search page with its options set instead")
    parser.add_argument("--lang", help="the desktop's language, as de; English by default")
    parser.add_argument("--display", default=":97")
    args = parser.parse_args()
    if not args.out:
        args.out = os.path.join(HERE, "screenshot-%s%s.png" % (
            "options" if args.options else "result", "-" + args.lang if args.lang else ""))
    if not os.access(args.app, os.X_OK):
        sys.exit("no application at %s; build it first or pass --app" % args.app)

    work = tempfile.mkdtemp(prefix="tarvik-shot-")
    xvfb = app = shot = None
    try:
        home = os.path.join(work, "home")
        sample = os.path.join(home, "pictures")
        make_sample(sample)
        env = dict(os.environ)
        for name, sub in [("HOME", "home"), ("XDG_DATA_HOME", "data"),
                          ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                          ("XDG_RUNTIME_DIR", "runtime")]:
            env[name] = os.path.join(work, sub)
            os.makedirs(env[name], exist_ok=True)
        os.chmod(env["XDG_RUNTIME_DIR"], 0o700)
        env.update(DISPLAY=args.display, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8",
                   LC_ALL="C.UTF-8", QT_LOGGING_RULES="*.debug=false")
        env.pop("QT_QPA_PLATFORMTHEME", None)
        env.pop("LANGUAGE", None)
        if args.lang:
            locale = "%s_%s.UTF-8" % (args.lang, args.lang.upper())
            env.update(LANG=locale, LC_ALL=locale)

        xvfb = subprocess.Popen(["Xvfb", args.display, "-screen", "0", "680x800x24", "-nolisten",
                                 "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)
        x = Xtest(args.display)
        shot = os.path.join(work, "screen.png")

        # The folder dialog opens in the current folder, so a short relative name answers it.
        app = subprocess.Popen([os.path.abspath(args.app)], cwd=home, env=env)
        # Below the logo, which shares the button's blue.
        add_folder = wait_for("the launcher", lambda: find_button(grab(args.display, shot),
                                                                   300, 520))
        x.click(*add_folder)
        time.sleep(1.5)
        x.type("pictures")
        x.key("Return")
        start = wait_for("the new search page",
                         lambda: find_button(grab(args.display, shot), 450, 600))
        x0, y0, _, _ = WINDOW
        if args.options:
            fill_options(x, x0, y0)
            grab(args.display, shot).crop((x0, y0, x0 + WINDOW[2], y0 + WINDOW[3])).save(args.out)
            print("wrote", args.out)
            return
        x.click(*start)
        time.sleep(3.0)

        # Mark every copy but the first found of each group, from the Mark button's menu.
        x.click(x0 + 158, y0 + 29)
        time.sleep(0.8)
        for key in ("Down", "Down", "Down", "Return"):
            x.key(key)
            time.sleep(0.2)
        time.sleep(0.5)
        # Select one file row, as a user about to act on it would.
        x.click(x0 + 160, y0 + 160)
        time.sleep(0.8)
        grab(args.display, shot).crop((x0, y0, x0 + WINDOW[2], y0 + WINDOW[3])).save(args.out)
        print("wrote", args.out)
    except Exception:
        if shot and os.path.exists(shot):
            shutil.copy(shot, args.out + ".failed.png")
            print("last screen kept in", args.out + ".failed.png", file=sys.stderr)
        raise
    finally:
        for process in (app, xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
