#!/usr/bin/env python3
"""The main window as the desktop sees it (xdotool, xwininfo, xprop), its page as WebKitWebDriver
sees it with the test bundle or one that cannot run, and the exit in the icon's menu as a panel
double clicks it.

    page_test.py VARNEL_VPN VARNEL DESKTOP_PANEL [UNITTEST_ARGS]
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_harness as h  # noqa: E402

T = "VarnelTunnel"
# Every method of the page's modules (the pickers have a test of their own), in this order on the page
# and then on `varnel host` over the same data folder, which the table leaves as it found: module,
# method, args (None leaves the list out). Nothing here opens a dialog, touches a process of the
# machine's or needs the network; the last three the host cannot take.
CALLS = [("VarnelBuildConfig", "getConstants", None)] + [(T, method, args) for method, args in (
    ("requestNotificationPermission", ["surplus", 1]), ("pingHelper", None), ("installHelper", []), ("getHelperInfo", []),
    ("getStatus", []), ("getTrafficStats", []), ("getDeviceMarketingName", []), ("promptVpnAuth", ["a", "b"]),
    ("saveOvpnProfile", ["page-test", "client\nremote 192.0.2.1 1194 udp\n", "page-test.ovpn", ""]),
    ("saveOvpnProfileMeta", ["page-test", "{\"name\":\"Caf\u00e9 \u2603 \U0001F600\"}"]), ("listSavedOvpnProfiles", []),
    ("saveOvpnAuth", ["page-test", "user", "p\u00e4ss"]), ("readOvpnAuth", ["page-test"]), ("deleteOvpnProfile", ["page-test"]),
    ("readOvpnAuth", ["page-test"]), ("deleteOvpnProfile", ["../escape"]), ("listSavedOvpnProfiles", []),
    ("measureTcpLatency", ["", 443]), ("setKillSwitchEnabled", []), ("setBlockIpv6Enabled", [True]), ("setBlockIpv6Enabled", [False]),
    ("terminateApps", [["varnel-no-such-program-4711.exe"]]), ("terminateApps", ["not a list"]), ("setMenuBarVisible", [True]),
    ("updateMenuBarMenu", ["{\"connected\":false}"]), ("updateMenuBarMenu", ["not json"]), ("activateApp", []),
    ("notifyVpnConnectedOnHide", []), ("writeUserDefaults", ["page.test", "value \u00e9"]), ("readUserDefaults", ["page.test"]),
    ("readUserDefaults", ["page.never.written"]), ("writeKeychainItem", ["varnel.page.test", "account", "secret"]),
    ("readKeychainItem", ["varnel.page.test", "account"]), ("deleteKeychainItem", ["varnel.page.test", "account"]),
    ("readKeychainItem", ["varnel.page.test", "account"]), ("disconnect", []), ("getStatus", None),
    ("noSuchMethod", []), ("getConstants", []))] + [("NoSuchModule", "getStatus", [])]
PICKERS = {"pickApp": "Choose an app to close when the VPN drops", "pickOvpnFile": "Import OpenVPN Profile (.ovpn)"}


def connect_row():
    """connectOvpn stops whatever OpenVPN answers on its management port before it finds that the profile
    has no configuration: only called when nobody answers there, and then it launches nothing."""
    with socket.socket() as s:
        if s.connect_ex(("127.0.0.1", 11940)) == 0:
            print("connectOvpn left out: something listens on 127.0.0.1:11940")
            return []
    return [(T, "connectOvpn", ["page-test-missing", "missing.ovpn", "", ""])]


def own_instance(name):
    """The environment for a single-instance claim of its own: the instance before may still be on its way out."""
    runtime = os.path.join(h.session_root(), f"runtime-{name}")
    os.makedirs(runtime, mode=0o700)
    return dict(os.environ, XDG_RUNTIME_DIR=runtime)


class MainWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = h.install_app(sys.argv[1])
        cls.page = h.PageSession(cls.program)
        started = cls.page.wait_script("the test bundle started", "return window.__testApp.started;")
        assert started == {"name": "VarnelMac", "initialProps": {}, "rootIsRoot": True}, started
        cls.window = h.wait_for("the main window", lambda: (h.windows_named(h.TITLE) or [None])[0])

    @classmethod
    def tearDownClass(cls):
        cls.page.close()

    def xprop(self, name):
        return h.run("xprop", "-id", str(self.window), name)

    def test_title_size_class_and_icons(self):
        self.assertEqual((h.windows_named(h.TITLE), h.window_state(self.window)), ([self.window], (1280, 860, True)))
        self.assertIn('"varnel-vpn", "Varnel-vpn"', self.xprop("WM_CLASS"))
        # GDK leaves out the 256 image: the property would outgrow what one X request may carry.
        self.assertLessEqual({"16", "24", "32", "48", "64", "128"}, set(re.findall(r"Icon \((\d+) x \1\)", self.xprop("_NET_WM_ICON"))))

    def test_a_resize_below_the_minimum_is_refused(self):
        self.assertIn(" minimum size: 1180 by 680", self.xprop("WM_NORMAL_HINTS"))
        # Back to the first size last: the other tests look at it.
        for asked, kept in (((800, 600), (1180, 680)), ((1000, 900), (1180, 900)), ((1400, 950), (1400, 950)),
                            ((1280, 860), (1280, 860))):
            with self.subTest(asked=asked):
                h.run("xdotool", "windowsize", str(self.window), *map(str, asked))
                h.wait_for(f"the size {kept}", lambda: h.window_state(self.window)[:2] == kept, patience=5)

    def test_closing_hides_and_a_second_start_or_activate_app_shows_it_and_the_page_hears_of_it(self):
        def second_start():
            started = time.monotonic()
            second = subprocess.run([self.program], capture_output=True, timeout=h.PATIENCE)
            self.assertEqual(second.returncode, 0, second.stderr)
            self.assertLess(time.monotonic() - started, 1.0)

        self.page.script("""var host = window.__varnelHost, heard = window.__heard = [];
            host.addEventListener(function () { throw new Error("a failing listener does not stop the others"); });
            host.addEventListener(function (name) { heard.push(name); });
            host.addEventListener(function () { heard.push("removed"); })();""")
        for show in (second_start, lambda: self.assertEqual(self.page.call(T, "activateApp", []), {"result": True})):
            h.request_close(self.window)
            h.wait_for("the window hidden", lambda: not h.window_state(self.window)[2])
            self.page.script("window.__testApp.events = [];")
            show()
            h.wait_for("the window shown", lambda: h.window_state(self.window)[2])
            events = self.page.wait_script("the event", "return window.__testApp.events.length && window.__testApp.events;")
            self.assertEqual((events, h.windows_named(h.TITLE)), ([{"name": "appWindowDidShow", "args": []}], [self.window]))
        self.assertEqual(self.page.script("return window.__heard;"), ["appWindowDidShow"] * 2)

    def test_the_host_object_stays_as_made_and_the_engine_keeps_its_data_with_ours(self):
        shape = self.page.script("""var host = window.__varnelHost;
            return [document.title, Object.keys(host).filter(function (k) { return k[0] !== "_"; }).sort(), Object.isFrozen(host),
                    Array.prototype.map.call(document.scripts, function (s) { return s.getAttribute("src"); })];""")
        self.assertEqual(shape, [h.TITLE, ["addEventListener", "call", "modules", "registerAppRegistry"], True, [None, "index.windows.bundle", None]])
        data = os.environ["XDG_DATA_HOME"]
        self.assertTrue(os.path.isdir(os.path.join(data, "VarnelMac", "webkit")))
        for folder in (os.environ["XDG_CACHE_HOME"], data, os.path.join(os.environ["HOME"], ".cache")):
            self.assertFalse(os.path.exists(os.path.join(folder, "varnel-vpn")), folder)

    def test_every_method_answers_from_the_page_as_the_stdio_host_answers(self):
        modules = self.page.script("return window.__varnelHost.modules;")
        calls = CALLS + connect_row()
        listed = {(name, method) for name, module in modules.items() for method in module["methods"]}
        self.assertEqual(listed | {(T, "noSuchMethod"), (T, "getConstants"), ("NoSuchModule", "getStatus")},
                         {row[:2] for row in calls} | {(T, "connectOvpn")} | {(T, picker) for picker in PICKERS})
        self.assertIs(modules["VarnelBuildConfig"]["constants"]["includeVpnAuthDeviceMetadata"], False)
        if shutil.which("gnome-keyring-daemon"):  # an unlocked Secret Service on the private bus, for the keychain rows
            subprocess.run(["gnome-keyring-daemon", "--unlock", "--components=secrets"], input=b"pw", stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=False)
        from_page = [self.page.call(*row) for row in calls]
        stdio = h.Program([sys.argv[2], "host"])
        for number, ((module, method, args), page) in enumerate(zip(calls, from_page)):
            line = stdio.call({"id": number, "module": module, "method": method, **({} if args is None else {"args": args})})
            # What the host could not take, the page rejects as EHOST with the host's sentence.
            host_error = {"code": "EHOST", "message": line.get("hostError"), "userInfo": None}
            with self.subTest(method=method, args=args):
                self.assertEqual(page, {"result": line["result"]} if "result" in line else {"error": line.get("error", host_error)})
        self.assertEqual(stdio.close(), 0)

    def test_the_pickers_are_native_dialogs_with_their_titles_and_a_cancel_resolves_empty(self):
        for method, title in PICKERS.items():
            with self.subTest(method=method):
                self.page.script("""window.__pick = null;
                    window.__varnelHost.call("VarnelTunnel", arguments[0], []).then(function (r) { window.__pick = [r]; });""", method)
                h.request_close(h.wait_for("the picker", lambda: (h.windows_named(re.escape(title)) or [None])[0]))
                self.assertEqual(self.page.wait_script("the answer", "return window.__pick;"), [{}])

    def test_the_view_stays_inside_the_bundle_folder(self):
        before = self.page.script("return location.href;")
        outside = os.path.join(os.path.dirname(self.program), "outside.html")
        with open(outside, "w", encoding="utf-8") as f:
            f.write("<p>outside</p>")
        for target in ("file://" + outside, "https://example.invalid/"):
            with self.subTest(target=target):
                self.page.script("location.href = arguments[0];", target)
                time.sleep(1)  # a navigation that were let through would have replaced the page by now
                self.assertEqual(self.page.script("return window.__varnelHost && location.href;"), before)


class FailurePage(unittest.TestCase):
    def test_a_bundle_that_cannot_run_leaves_a_page_naming_the_file_and_the_problem(self):
        for name, bundle, problem in (
                ("missing", False, "No such file or directory."),
                ("throws", "throw new Error('boom at start');", "The bundle stopped with an error: boom at start."),
                ("silent", "var nothing = 1;", "The bundle did not hand its registry to __varnelHost.registerAppRegistry."),
                ("refuses", "__varnelHost.registerAppRegistry({ runApplication: function () { throw new Error('no'); } });",
                 "runApplication(\"VarnelMac\") failed: no.")):
            with self.subTest(case=name):
                program = h.install_app(sys.argv[1], bundle_text=bundle, name=f"failing-{name}")
                page = h.PageSession(program, env=own_instance(name))
                try:
                    text = page.wait_script("the failure page", "return !window.__varnelHost && document.body && document.body.innerText;")
                finally:
                    page.close()
                bundle_file = os.path.join(os.path.dirname(program), "Bundle", "index.windows.bundle")
                self.assertEqual(text.strip(), f"VarnelVPN could not start its interface.\n\nBundle file: {bundle_file}\nProblem: {problem}")


class TrayExit(unittest.TestCase):
    def test_exit_in_the_icons_menu_ends_the_application_with_0(self):
        panel = h.Program([sys.argv[3]])
        self.addCleanup(panel.close)
        self.assertEqual(panel.line(), "watching")
        app = h.Program([h.install_app(sys.argv[1], name="tray"), "--interface=stdio"], env=own_instance("tray"))
        self.addCleanup(app.close)
        # The first module request starts the tray, whose icon registers with the panel.
        self.assertTrue(app.call({"id": 1, "method": "setMenuBarVisible", "args": [True]})["result"])
        answer = h.wait_for("the icon registered", lambda: (said := panel.ask("click Exit Varnel VPN")) != "no icon" and said)
        self.assertEqual(answer, "clicked")
        h.wait_for("the application ended", lambda: app.process.poll() is not None)
        self.assertEqual(app.process.returncode, 0)


if __name__ == "__main__":
    h.run_tests(3, extra_tools=["WebKitWebDriver"])
