"""What the desktop tests share: a private X display and session bus, a throwaway home, the
application copied beside a bundle of the test's choosing, and the X and WebDriver tools that look at
it from outside.

A test script calls enter_session() first: it re-runs the script under `dbus-run-session` and
`xvfb-run -a` with a temporary HOME, XDG_DATA_HOME, XDG_CACHE_HOME, XDG_CONFIG_HOME and
XDG_RUNTIME_DIR, or skips (exit code 77, a printed reason) when a tool is missing. Nothing of the
user's session is ever used.
"""
import ctypes
import json
import os
import queue
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
SESSION_MARK = "VARNEL_DESKTOP_TEST_SESSION"
HERE = os.path.dirname(os.path.abspath(__file__))
TEST_BUNDLE = os.path.join(HERE, "test_bundle", "index.windows.bundle")
TITLE = "VarnelVPN"
# How long anything a test waits for may take before the test gives up with a message.
PATIENCE = 30


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIP)


def missing_tools(tools):
    return [tool for tool in tools if shutil.which(tool) is None]


def enter_session(extra_tools=()):
    """Runs the calling script again inside a private display, bus and home; returns inside it."""
    if os.environ.get(SESSION_MARK):
        return
    missing = missing_tools(["dbus-run-session", "xvfb-run", "xdotool", "xwininfo", "xprop", *extra_tools])
    if missing:
        skip("missing " + ", ".join(missing))
    root = tempfile.mkdtemp(prefix="varnel-desktop-")
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY"):
        env.pop(name, None)
    for name, sub in (("HOME", "home"), ("XDG_DATA_HOME", "home/data"), ("XDG_CACHE_HOME", "home/cache"),
                      ("XDG_CONFIG_HOME", "home/config"), ("XDG_RUNTIME_DIR", "runtime")):
        os.makedirs(os.path.join(root, sub), mode=0o700, exist_ok=True)
        env[name] = os.path.join(root, sub)
    # No kill-switch service of the machine's is ever reached, and the accessibility bus stays out.
    env["VARNEL_KILLSWITCH_SOCKET"] = os.path.join(root, "runtime", "no-killswitch.sock")
    env["NO_AT_BRIDGE"] = "1"
    env[SESSION_MARK] = root
    command = ["dbus-run-session", "--", "xvfb-run", "-a", "-s", "-screen 0 1600x1200x24",
               sys.executable, os.path.abspath(sys.argv[0]), *sys.argv[1:]]
    try:
        code = subprocess.call(command, env=env)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    sys.exit(code)


def session_root():
    return os.environ[SESSION_MARK]


def install_app(executable, bundle_text=None, name="app"):
    """Copies the program into a folder of its own with Bundle/index.windows.bundle (the test bundle
    unless bundle_text is given; None and no bundle when bundle_text is False). Returns the copy."""
    folder = os.path.join(session_root(), name)
    os.makedirs(os.path.join(folder, "Bundle"), exist_ok=True)
    target = os.path.join(folder, os.path.basename(executable))
    shutil.copy2(executable, target)
    bundle = os.path.join(folder, "Bundle", "index.windows.bundle")
    if bundle_text is None:
        shutil.copy2(TEST_BUNDLE, bundle)
    elif bundle_text is not False:
        with open(bundle, "w", encoding="utf-8") as f:
            f.write(bundle_text)
    return target


def own_runtime_dir(name):
    """The environment with a runtime folder of its own: a separate single-instance claim."""
    folder = os.path.join(session_root(), "runtime-" + name)
    os.makedirs(folder, mode=0o700, exist_ok=True)
    return dict(os.environ, XDG_RUNTIME_DIR=folder)


def wait_for(what, check, patience=PATIENCE):
    deadline = time.monotonic() + patience
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"gave up waiting for {what}")
        time.sleep(0.05)


class StdioApp:
    """A program that speaks the JSON-lines protocol on its standard streams."""

    def __init__(self, command, env=None):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put(json.loads(raw))
        self.lines.put(None)

    def send(self, request):
        self.process.stdin.write((json.dumps(request) + "\n").encode())
        self.process.stdin.flush()

    def next_line(self, match, patience=PATIENCE):
        """The first output line (in order, from the unread ones) for which match is true."""
        deadline = time.monotonic() + patience
        for line in self.seen:
            if match(line):
                self.seen.remove(line)
                return line
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise AssertionError("gave up waiting for an output line")
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                continue
            if line is None:
                raise AssertionError("the program ended its output")
            if match(line):
                return line
            self.seen.append(line)

    def call(self, request):
        self.send(request)
        return self.next_line(lambda line: "event" not in line and line.get("id") == request.get("id"))

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(timeout=PATIENCE)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        return self.process.returncode


def as_outcome(line):
    """A stdio answer line as a page's call settles: a result, or a rejection's code, message, userInfo."""
    if "result" in line:
        return {"result": line["result"]}
    if "error" in line:
        return {"error": line["error"]}
    return {"error": {"code": "EHOST", "message": line["hostError"], "userInfo": None}}


# ---- X: the window as the desktop sees it ----------------------------------------------------

def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=False).stdout


def main_windows():
    return [int(w) for w in run("xdotool", "search", "--name", f"^{TITLE}$").split()]


def the_main_window():
    return wait_for("the main window", lambda: (main_windows() or [None])[0])


def window_info(window):
    """Width, Height and Map State as xwininfo reports them."""
    info = {}
    for line in run("xwininfo", "-id", str(window)).splitlines():
        key, _, value = line.strip().partition(": ")
        if key in ("Width", "Height", "Map State"):
            info[key] = value
    return info


def viewable(window):
    return window_info(window).get("Map State") == "IsViewable"


def property_text(window, name):
    return run("xprop", "-id", str(window), name)


def request_close(window):
    """Asks the window to close the way a window manager does: WM_DELETE_WINDOW in WM_PROTOCOLS."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

    display = x11.XOpenDisplay(None)
    if not display:
        raise AssertionError("cannot open the display")
    event = Event()
    event.client.type = 33  # ClientMessage
    event.client.window = window
    event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.client.format = 32
    event.client.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.client.data[1] = 0  # CurrentTime
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


# ---- WebDriver: the page as its script sees it -------------------------------------------------

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class PageSession:
    """WebKitWebDriver driving the application with --automation; the page is the one it loaded."""

    def __init__(self, executable, extra_args=(), env=None):
        try:
            from selenium import webdriver
            from selenium.webdriver.webkitgtk.options import Options
        except ImportError:
            skip(f"python3-selenium is missing for {sys.executable}")
        if missing_tools(["WebKitWebDriver"]):
            skip("WebKitWebDriver (webkit2gtk-driver) is missing")
        port = free_port()
        # The driver starts the application, which inherits the driver's environment.
        self.driver_process = subprocess.Popen(["WebKitWebDriver", f"--port={port}"], stdout=subprocess.DEVNULL, env=env)
        wait_for("WebKitWebDriver", lambda: self._listening(port))
        options = Options()
        options.binary_location = executable
        for arg in ("--automation", *extra_args):
            options.add_argument(arg)
        options.set_capability("browserName", TITLE)
        try:
            self.driver = webdriver.Remote(command_executor=f"http://127.0.0.1:{port}", options=options)
        except Exception:
            self.driver_process.kill()
            raise
        self.driver.set_script_timeout(PATIENCE)

    @staticmethod
    def _listening(port):
        with socket.socket() as s:
            return s.connect_ex(("127.0.0.1", port)) == 0

    def script(self, source, *args):
        return self.driver.execute_script(source, *args)

    def wait_script(self, what, source, *args):
        """Runs source until it returns something true; a page that is being replaced meanwhile (the
        failure page taking over) counts as not yet."""
        from selenium.common.exceptions import WebDriverException

        def attempt():
            try:
                return self.script(source, *args)
            except WebDriverException:
                return None
        return wait_for(what, attempt)

    def call(self, module, method, args):
        """The page's __varnelHost.call settled: {"result": V} or {"error": {code, message, userInfo}}.
        args None leaves the argument list out."""
        return self.driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            var call = arguments[2] === null ? window.__varnelHost.call(arguments[0], arguments[1])
                                             : window.__varnelHost.call(arguments[0], arguments[1], arguments[2]);
            call.then(function (result) { done({ result: result }); },
                      function (error) { done({ error: { code: error.code, message: error.message, userInfo: error.userInfo } }); });
        """, module, method, args)

    def close(self):
        try:
            self.driver.quit()
        finally:
            self.driver_process.terminate()
            self.driver_process.wait()


class LineProgram:
    """A test program that speaks one line at a time on its standard streams and ends with its input."""

    def __init__(self, command):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)

    def line(self):
        return self.process.stdout.readline().rstrip("\n")

    def ask(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        return self.line()

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(timeout=PATIENCE)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
