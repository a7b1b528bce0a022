"""What the desktop tests share: a private display, session bus and home (or a skip, exit code 77),
the application copied beside a bundle of the test's choosing, programs spoken to line by line, and
the X and WebDriver tools that look at the application from outside."""
import contextlib
import ctypes
import json
import os
import pathlib
import queue
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SESSION_MARK = "VARNEL_DESKTOP_TEST_SESSION"
HERE = os.path.dirname(os.path.abspath(__file__))
TEST_BUNDLE = os.path.join(HERE, "test_bundle", "index.windows.bundle")
TITLE = "VarnelVPN"
PATIENCE = 30  # seconds anything a test waits for may take before it gives up with a message


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(77)


def enter_session(extra_tools=()):
    """Runs the calling script again inside a private display, bus and home; returns inside it."""
    if os.environ.get(SESSION_MARK):
        return
    missing = [t for t in ("dbus-run-session", "xvfb-run", "xdotool", "xwininfo", "xprop", *extra_tools) if not shutil.which(t)]
    if missing:
        skip("missing " + ", ".join(missing))
    root = tempfile.mkdtemp(prefix="varnel-desktop-")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY")}
    for name, sub in (("HOME", "home"), ("XDG_DATA_HOME", "home/data"), ("XDG_CACHE_HOME", "home/cache"),
                      ("XDG_CONFIG_HOME", "home/config"), ("XDG_RUNTIME_DIR", "runtime")):
        env[name] = os.path.join(root, sub)
        os.makedirs(env[name], mode=0o700)
    # No kill-switch service of the machine's is ever reached, and the accessibility bus stays out.
    env.update({SESSION_MARK: root, "VARNEL_KILLSWITCH_SOCKET": os.path.join(root, "no-killswitch.sock"), "NO_AT_BRIDGE": "1"})
    try:
        code = subprocess.call(["dbus-run-session", "--", "xvfb-run", "-a", "-s", "-screen 0 1600x1200x24",
                                sys.executable, os.path.abspath(sys.argv[0]), *sys.argv[1:]], env=env)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    sys.exit(code)


def run_tests(programs, extra_tools=(), within=contextlib.nullcontext):
    """A test script's main: its first `programs` arguments name programs, the rest are unittest's;
    the tests run inside the private session and within() there."""
    if len(sys.argv) <= programs:
        sys.exit(sys.modules["__main__"].__doc__)
    enter_session(extra_tools)
    with within():
        unittest.main(module="__main__", argv=sys.argv[:1] + sys.argv[1 + programs:], verbosity=2)


def session_root():
    return os.environ[SESSION_MARK]


def install_app(executable, bundle_text=None, name="app"):
    """Copies the program into a folder of its own with Bundle/index.windows.bundle: the test bundle,
    or bundle_text, or none when bundle_text is False. Returns the copy."""
    folder = os.path.join(session_root(), name)
    os.makedirs(os.path.join(folder, "Bundle"), exist_ok=True)
    if bundle_text is not False:
        with open(os.path.join(folder, "Bundle", "index.windows.bundle"), "w", encoding="utf-8") as f:
            f.write(pathlib.Path(TEST_BUNDLE).read_text(encoding="utf-8") if bundle_text is None else bundle_text)
    return shutil.copy2(executable, folder)


def wait_for(what, check, patience=PATIENCE):
    deadline = time.monotonic() + patience
    while not (value := check()):
        if time.monotonic() > deadline:
            raise AssertionError(f"gave up waiting for {what}")
        time.sleep(0.05)
    return value


class Program:
    """A program spoken to one line at a time on its standard streams; the end of its input ends it.
    call() is a request of the JSON-lines protocol (--interface=stdio, `varnel host`)."""

    def __init__(self, command, env=None):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=env)
        self.lines, self.unread = queue.Queue(), []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def line(self, match=lambda line: True):
        """The first unread output line for which match is true; the others stay unread."""
        while not (found := [line for line in self.unread if match(line)]):
            try:
                line = self.lines.get(timeout=PATIENCE)
            except queue.Empty:
                raise AssertionError("gave up waiting for an output line") from None
            if line is None:
                raise AssertionError("the program ended its output")
            self.unread.append(line)
        self.unread.remove(found[0])
        return found[0]

    def ask(self, text, match=lambda line: True):
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()
        return self.line(match)

    def call(self, request):
        answers = lambda line: (answer := json.loads(line)).get("id") == request["id"] and "event" not in answer  # noqa: E731
        return json.loads(self.ask(json.dumps(request), answers))

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(timeout=PATIENCE)
            except subprocess.TimeoutExpired:
                self.process.kill()
        return self.process.wait()


# ---- X: the window as the desktop sees it ----------------------------------------------------

def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=False).stdout


def windows_named(title):
    return [int(w) for w in run("xdotool", "search", "--name", f"^{title}$").split()]


def window_state(window):
    info = dict(re.findall(r"^\s*(Width|Height|Map State): (\S+)$", run("xwininfo", "-id", str(window)), re.M))
    return int(info["Width"]), int(info["Height"]), info["Map State"] == "IsViewable"


def request_close(window):
    """Asks the window to close as a window manager does: WM_DELETE_WINDOW in WM_PROTOCOLS."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    display = ctypes.c_void_p(x11.XOpenDisplay(None))
    protocols, delete = (x11.XInternAtom(display, name, 0) for name in (b"WM_PROTOCOLS", b"WM_DELETE_WINDOW"))
    # An XClientMessageEvent on LP64, in longs: type, serial, send_event, display, window,
    # message_type, format, data[5]; padded to the size of an XEvent.
    event = (ctypes.c_long * 24)(33, 0, 0, 0, window, protocols, 32, delete)
    x11.XSendEvent(display, ctypes.c_ulong(window), 0, ctypes.c_long(0), event)
    x11.XCloseDisplay(display)


# ---- WebDriver: the page as its script sees it -------------------------------------------------

class PageSession:
    """WebKitWebDriver driving the application with --automation; the page is the one it loaded.
    The driver starts the application, which inherits env (the driver's environment)."""

    def __init__(self, executable, env=None):
        try:
            from selenium import webdriver
            from selenium.webdriver.webkitgtk.options import Options
            from selenium.webdriver.webkitgtk.service import Service
        except ImportError:
            skip(f"python3-selenium is missing for {sys.executable}")
        options = Options()
        options.binary_location = executable
        options.add_argument("--automation")
        options.set_capability("browserName", TITLE)
        self.service = Service(log_path=os.devnull, env=env)
        self.service.start()
        try:
            self.driver = webdriver.Remote(command_executor=self.service.service_url, options=options)
        except Exception:
            self.service.stop()
            raise
        self.driver.set_script_timeout(PATIENCE)
        self.script = self.driver.execute_script

    def wait_script(self, what, source, *args):
        """Runs source until it returns something true; a page being replaced meanwhile (the failure
        page taking over) counts as not yet."""
        from selenium.common.exceptions import WebDriverException

        def attempt():
            try:
                return self.script(source, *args)
            except WebDriverException:
                return None
        return wait_for(what, attempt)

    def call(self, module, method, args):
        """__varnelHost.call settled: {"result": V} or {"error": {code, message, userInfo}}; args None
        leaves the argument list out."""
        return self.driver.execute_async_script("""var done = arguments[3], host = window.__varnelHost;
            (arguments[2] === null ? host.call(arguments[0], arguments[1]) : host.call(arguments[0], arguments[1], arguments[2]))
              .then(function (result) { done({ result: result }); },
                    function (e) { done({ error: { code: e.code, message: e.message, userInfo: e.userInfo } }); });""",
                                                module, method, args)

    def close(self):
        try:
            self.driver.quit()
        finally:
            self.service.stop()
