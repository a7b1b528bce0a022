#!/usr/bin/env python3
"""The page's side of the desktop application, driven by WebKitWebDriver: __varnelHost as the test
bundle sees it, every module method reached from the page and answering as `varnel host` answers the
same call, events from outside reaching the page's listener, the file picker, and the plain page
shown when the bundle cannot run.

    page_test.py VARNEL_VPN VARNEL [UNITTEST_ARGS]
"""
import os
import re
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_harness as h  # noqa: E402

TUNNEL_METHODS = [
    "pingHelper", "installHelper", "saveOvpnProfile", "saveOvpnProfileMeta", "listSavedOvpnProfiles",
    "deleteOvpnProfile", "saveOvpnAuth", "readOvpnAuth", "connectOvpn", "disconnect", "getStatus", "getHelperInfo",
    "measureTcpLatency", "getTrafficStats", "getDeviceMarketingName", "promptVpnAuth", "setKillSwitchEnabled",
    "setBlockIpv6Enabled", "pickApp", "pickOvpnFile", "terminateApps", "setMenuBarVisible", "updateMenuBarMenu",
    "activateApp", "notifyVpnConnectedOnHide", "requestNotificationPermission", "writeUserDefaults",
    "readUserDefaults", "writeKeychainItem", "readKeychainItem", "deleteKeychainItem",
]

T = "VarnelTunnel"
# Each row: module, method, args (None: left out). Run in this order on the page and then on a fresh
# `varnel host` over the same data folder, so the table leaves behind what it found; nothing in it
# opens a dialog, touches a process of the machine's or needs the network.
CALLS = [
    ("VarnelBuildConfig", "getConstants", None),
    (T, "requestNotificationPermission", ["surplus", 1]),
    (T, "pingHelper", None),
    (T, "installHelper", []),
    (T, "getHelperInfo", []),
    (T, "getStatus", []),
    (T, "getTrafficStats", []),
    (T, "getDeviceMarketingName", []),
    (T, "promptVpnAuth", ["a", "b"]),
    (T, "saveOvpnProfile", ["page-test", "client\nremote 192.0.2.1 1194 udp\n", "page-test.ovpn", ""]),
    (T, "saveOvpnProfileMeta", ["page-test", "{\"name\":\"Caf\u00e9 \u2603 \U0001F600\"}"]),
    (T, "listSavedOvpnProfiles", []),
    (T, "saveOvpnAuth", ["page-test", "user", "p\u00e4ss"]),
    (T, "readOvpnAuth", ["page-test"]),
    (T, "deleteOvpnProfile", ["page-test"]),
    (T, "readOvpnAuth", ["page-test"]),
    (T, "deleteOvpnProfile", ["../escape"]),
    (T, "listSavedOvpnProfiles", []),
    (T, "measureTcpLatency", ["", 443]),
    (T, "setKillSwitchEnabled", []),
    (T, "setBlockIpv6Enabled", [True]),
    (T, "setBlockIpv6Enabled", [False]),
    (T, "terminateApps", [["varnel-no-such-program-4711.exe"]]),
    (T, "terminateApps", ["not a list"]),
    (T, "setMenuBarVisible", [True]),
    (T, "updateMenuBarMenu", ["{\"connected\":false}"]),
    (T, "updateMenuBarMenu", ["not json"]),
    (T, "activateApp", []),
    (T, "notifyVpnConnectedOnHide", []),
    (T, "writeUserDefaults", ["page.test", "value \u00e9"]),
    (T, "readUserDefaults", ["page.test"]),
    (T, "readUserDefaults", ["page.never.written"]),
    (T, "writeKeychainItem", ["varnel.page.test", "account", "secret"]),
    (T, "readKeychainItem", ["varnel.page.test", "account"]),
    (T, "deleteKeychainItem", ["varnel.page.test", "account"]),
    (T, "readKeychainItem", ["varnel.page.test", "account"]),
    (T, "disconnect", []),
    (T, "getStatus", None),
    # What the host cannot take, rejected with EHOST by both.
    (T, "noSuchMethod", []),
    ("NoSuchModule", "getStatus", []),
    (T, "getConstants", []),
]


def management_port_taken():
    with socket.socket() as s:
        s.settimeout(1)
        return s.connect_ex(("127.0.0.1", 11940)) == 0


def connect_rows():
    # connectOvpn stops whatever OpenVPN answers on the management port before it finds that the
    # profile has no configuration file (a name that is not there, in a folder without any): only
    # called when nobody answers there, and it then launches nothing.
    if management_port_taken():
        print("connectOvpn left out: something listens on 127.0.0.1:11940")
        return []
    return [(T, "connectOvpn", ["page-test-missing", "missing.ovpn", "", ""])]


def start_keyring():
    """An unlocked Secret Service on this session's private bus, so the keychain rows have one."""
    if h.missing_tools(["gnome-keyring-daemon"]):
        return
    subprocess.run(["gnome-keyring-daemon", "--unlock", "--components=secrets"], input=b"pw",
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = h.install_app(sys.argv[1])
        cls.page = h.PageSession(cls.program)
        cls.page.wait_script("the test bundle started", "return window.__testApp && window.__testApp.started;")

    @classmethod
    def tearDownClass(cls):
        cls.page.close()

    def test_the_page_is_the_contract_page_and_the_bundle_was_started_as_the_component(self):
        started = self.page.script("return window.__testApp.started;")
        self.assertEqual(started, {"name": "VarnelMac", "initialProps": {}, "rootIsRoot": True})
        shape = self.page.script("""
            var host = window.__varnelHost;
            return { title: document.title, keys: Object.keys(host).filter(function (k) { return k[0] !== "_"; }).sort(),
                     bundle: Array.prototype.map.call(document.scripts, function (s) { return s.getAttribute("src"); }),
                     modules: host.modules, frozen: Object.isFrozen(host) };""")
        self.assertEqual(shape["title"], "VarnelVPN")
        self.assertEqual(shape["keys"], ["addEventListener", "call", "modules", "registerAppRegistry"])
        self.assertEqual(shape["bundle"], [None, "index.windows.bundle", None])
        self.assertTrue(shape["frozen"])
        self.assertEqual(shape["modules"]["VarnelTunnel"], {"methods": TUNNEL_METHODS, "constants": {}})
        self.assertEqual(shape["modules"]["VarnelBuildConfig"]["methods"], ["getConstants"])
        self.assertIs(shape["modules"]["VarnelBuildConfig"]["constants"]["includeVpnAuthDeviceMetadata"], False)

    def test_every_method_answers_from_the_page_as_the_stdio_host_answers(self):
        start_keyring()
        calls = CALLS + connect_rows()
        reached = {method for module, method, _ in calls if module == T} | {"pickApp", "pickOvpnFile", "connectOvpn"}
        self.assertEqual(reached, set(TUNNEL_METHODS) | {"noSuchMethod", "getConstants"})
        from_page = [self.page.call(module, method, args) for module, method, args in calls]
        stdio = h.StdioApp([sys.argv[2], "host"])
        from_stdio = []
        for number, (module, method, args) in enumerate(calls):
            request = {"id": number, "module": module, "method": method}
            if args is not None:
                request["args"] = args
            from_stdio.append(h.as_outcome(stdio.call(request)))
        self.assertEqual(stdio.close(), 0)
        for row, page, line in zip(calls, from_page, from_stdio):
            with self.subTest(call=row):
                self.assertEqual(page, line)
        self.assertIn({"result": True}, from_page)

    def test_a_second_start_reaches_the_page_as_app_window_did_show(self):
        self.page.script("window.__testApp.events = [];")
        second = subprocess.run([self.program], capture_output=True, timeout=h.PATIENCE)
        self.assertEqual(second.returncode, 0, second.stderr)
        events = self.page.wait_script("the event", "return window.__testApp.events.length && window.__testApp.events;")
        self.assertEqual(events, [{"name": "appWindowDidShow", "args": []}])

    def test_a_removed_listener_hears_nothing_and_others_still_do(self):
        heard = self.page.driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            var host = window.__varnelHost, heard = { removed: 0, kept: 0 };
            var remove = host.addEventListener(function () { heard.removed++; });
            host.addEventListener(function () { throw new Error("a failing listener does not stop the others"); });
            host.addEventListener(function (name) { if (name === "appWindowDidShow") heard.kept++; });
            remove();
            host.call("VarnelTunnel", "activateApp", []).then(function () {
              setTimeout(function () { done(heard); }, 200);
            });""")
        self.assertEqual(heard, {"removed": 0, "kept": 1})

    def test_the_pickers_are_native_dialogs_with_their_titles_and_a_cancel_resolves_empty(self):
        for method, title in (("pickApp", "Choose an app to close when the VPN drops"),
                              ("pickOvpnFile", "Import OpenVPN Profile (.ovpn)")):
            with self.subTest(method=method):
                self.page.script("""window.__pick = null;
                    window.__varnelHost.call("VarnelTunnel", arguments[0], []).then(function (r) { window.__pick = r; });""", method)
                dialog = h.wait_for("the picker", lambda: (h.run("xdotool", "search", "--name", f"^{re.escape(title)}$").split() or [None])[0])
                h.request_close(int(dialog))
                self.assertEqual(self.page.wait_script("the answer", "return window.__pick && [window.__pick];"), [{}])

    def test_the_view_stays_inside_the_bundle_folder(self):
        before = self.page.script("return location.href;")
        outside = os.path.join(os.path.dirname(self.program), "outside.html")
        with open(outside, "w", encoding="utf-8") as f:
            f.write("<p>outside</p>")
        for target in ("file://" + outside, "https://example.invalid/"):
            with self.subTest(target=target):
                self.page.script("location.href = arguments[0];", target)
                # A navigation that were let through would have replaced the page by now.
                time.sleep(1)
                self.assertEqual(self.page.script("return location.href;"), before)
                self.assertTrue(self.page.script("return !!window.__varnelHost;"))

    def test_the_web_engine_keeps_its_data_with_ours(self):
        data_home = os.environ["XDG_DATA_HOME"]
        self.assertTrue(os.path.isdir(os.path.join(data_home, "VarnelMac", "webkit")))
        for folder in (os.environ["XDG_CACHE_HOME"], data_home, os.path.join(os.environ["HOME"], ".cache")):
            self.assertFalse(os.path.exists(os.path.join(folder, "varnel-vpn")), folder)


class FailurePage(unittest.TestCase):
    """A bundle that cannot run leaves a plain page saying which file and why."""

    CASES = [
        ("missing", False, "Problem: No such file or directory."),
        ("throws", "throw new Error('boom at start');", "Problem: The bundle stopped with an error: boom at start."),
        ("silent", "var nothing = 1;",
         "Problem: The bundle did not hand its registry to __varnelHost.registerAppRegistry."),
        ("refuses", "__varnelHost.registerAppRegistry({ runApplication: function () { throw new Error('no'); } });",
         "Problem: runApplication(\"VarnelMac\") failed: no."),
    ]

    def test_each_failure_names_the_bundle_and_the_problem(self):
        for name, bundle, problem in self.CASES:
            with self.subTest(case=name):
                program = h.install_app(sys.argv[1], bundle_text=bundle, name=f"failing-{name}")
                # An instance of its own: the one before may still be on its way out.
                page = h.PageSession(program, env=h.own_runtime_dir(f"failing-{name}"))
                try:
                    text = page.wait_script("the failure page", """
                        return !window.__varnelHost && document.body && document.body.innerText;""")
                finally:
                    page.close()
                bundle_file = os.path.join(os.path.dirname(program), "Bundle", "index.windows.bundle")
                self.assertEqual(text.strip(), f"VarnelVPN could not start its interface.\n\nBundle file: {bundle_file}\n{problem}")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    h.enter_session(extra_tools=["WebKitWebDriver"])
    # Anything after the programs is for unittest (test names, -k PATTERN).
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
