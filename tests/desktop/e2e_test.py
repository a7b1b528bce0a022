#!/usr/bin/env python3
"""The application end to end: its real bundle driven by WebKitWebDriver, a real OpenVPN server on
loopback (so root, or a skip), and the panel double clicking the icon's menu. With
VARNEL_E2E_SCREENSHOTS set, the connected main screen and the settings go to docs/screenshot-*.png.

    e2e_test.py VARNEL_VPN OPENVPN_TEST_SERVER DESKTOP_PANEL [UNITTEST_ARGS]
"""
import contextlib
import json
import os
import pathlib
import signal
import socket
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_harness as h  # noqa: E402

MANAGEMENT_PORT = 11940  # the application's own: the test needs it free, as a user's machine has it
NAME = "Loopback server"


def clients_of_this_run():
    """The OpenVPN clients started with a configuration from this run's data folder."""
    return [int(pid) for pid in h.run("pgrep", "-f", f"^[^ ]*openvpn .*{h.session_root()}/").split()]


class EndToEnd(unittest.TestCase):
    server, panel = {}, None  # the server's port, client profile, user and password; the panel double

    @classmethod
    def setUpClass(cls):
        bundle = pathlib.Path(sys.argv[1]).resolve().parent / "Bundle" / "index.windows.bundle"
        cls.page = h.PageSession(h.install_app(sys.argv[1], bundle_text=bundle.read_text(encoding="utf-8")))
        cls.page.wait_script("the interface", "return !!document.querySelector('[data-testid=\"profile-list\"]');")

    @classmethod
    def tearDownClass(cls):
        cls.page.close()

    def tearDown(self):
        self.module("disconnect")
        h.wait_for("the OpenVPN client ended", lambda: not clients_of_this_run())

    def module(self, method, *args):
        outcome = self.page.call("VarnelTunnel", method, list(args))
        self.assertIn("result", outcome, outcome)
        return outcome["result"]

    def choose_new_profile(self):
        """Saves a profile as an import does, shows the window (the list is read again) and chooses it."""
        profile, server = self._testMethodName[5:20].replace("_", "-"), self.server
        meta = {"id": profile, "name": NAME, "fileName": "client.ovpn", "host": "127.0.0.1", "port": server["port"], "proto": "tcp-client"}
        self.module("saveOvpnProfile", profile, server["profile"], "client.ovpn", "")
        self.module("saveOvpnProfileMeta", profile, json.dumps(meta))
        self.addCleanup(self.module, "deleteOvpnProfile", profile)
        self.module("activateApp")
        self.assertRegex(self.text(f"profile-row-{profile}"), f"{NAME}.*127.0.0.1 · TCP-CLIENT {server['port']}")
        self.element(f"profile-row-{profile}").click()
        self.wait_for_text("status-state", "disconnected")

    def text(self, test_id):
        return h.wait_for(test_id, lambda: self.page.script("""var e = document.querySelector('[data-testid="' + arguments[0] + '"]');
                                                                return e && [e.textContent];""", test_id))[0]

    def wait_for_text(self, test_id, expected):
        try:
            h.wait_for(f'"{expected}" in {test_id}', lambda: self.text(test_id) == expected, patience=60)
        except AssertionError:
            self.fail(f'{test_id} shows "{self.text(test_id)}", not "{expected}"; status-message: "{self.text("status-message")}"')

    def element(self, test_id):
        from selenium.webdriver.common.by import By
        self.text(test_id)
        return self.page.driver.find_element(By.CSS_SELECTOR, f'[data-testid="{test_id}"]')

    def sign_in(self, password):
        self.element("connect-button").click()
        for test_id, text in (("credentials-user", self.server["user"]), ("credentials-password", password)):
            self.element(test_id).clear()
            self.element(test_id).send_keys(text)
        self.element("credentials-save").click()

    def assert_rates_are_readings(self):
        for test_id in ("rate-down", "rate-up"):
            self.assertRegex(self.text(test_id), r"^\d+(\.\d)? (B|kB|MB|GB)/s$")

    def screenshot(self, name):
        if os.environ.get("VARNEL_E2E_SCREENSHOTS"):
            # Without the focus ring the click left, and once the page has painted what the test saw.
            self.page.driver.execute_async_script("""var done = arguments[0];
                if (document.activeElement) document.activeElement.blur();
                requestAnimationFrame(function () { requestAnimationFrame(done); });""")
            self.page.driver.save_screenshot(os.path.join(h.HERE, "..", "..", "docs", name))

    def test_connect_signs_in_disconnects_and_the_icons_menu_connects_again(self):
        self.choose_new_profile()
        self.sign_in(self.server["password"])
        self.wait_for_text("status-state", "connected")
        self.assertEqual([self.text("status-message"), len(clients_of_this_run())], ["", 1])
        self.assert_rates_are_readings()
        self.screenshot("screenshot-connected.png")
        self.element("disconnect-button").click()
        self.wait_for_text("status-state", "disconnected")
        self.element("connect-button")
        h.wait_for("the OpenVPN client ended", lambda: not clients_of_this_run())
        self.assert_rates_are_readings()
        # The menu is published once the interface hands over its description: clicked until it holds the profile.
        h.wait_for("the profile in the icon's menu", lambda: self.panel.ask(f"click {NAME}") == "clicked")
        self.wait_for_text("status-state", "connected")
        self.assertIn(NAME, self.text("connection-card"))

    def test_wrong_password_shows_the_authentication_sentence(self):
        self.choose_new_profile()
        self.sign_in("not the password")
        self.wait_for_text("status-message", "Authentication failed - check your username and password.")
        self.wait_for_text("status-state", "disconnected")
        self.element("connect-button")

    def test_settings_show_the_switches_as_the_desktop_side_starts(self):
        self.element("nav-settings").click()
        self.element("kill-switch-toggle")
        self.assertEqual(self.page.script("""return ["kill-switch-toggle", "ipv6-toggle"].map(function (id) {
            return document.querySelector('[data-testid="' + id + '"] input').checked; });"""), [False, True])
        self.screenshot("screenshot-settings.png")
        self.element("nav-main").click()
        self.element("connect-button")


@contextlib.contextmanager
def server_and_panel():
    """The OpenVPN test server and the panel double for the run, inside the private session."""
    with socket.socket() as s:
        if s.connect_ex(("127.0.0.1", MANAGEMENT_PORT)) == 0:
            h.skip(f"something listens on 127.0.0.1:{MANAGEMENT_PORT}, the application's management port")
    server, panel = h.Program([sys.argv[2]]), h.Program([sys.argv[3]])
    try:
        EndToEnd.server.update(json.loads(server.line()))
        if "port" not in EndToEnd.server:
            h.skip(EndToEnd.server.get("unavailable", "the OpenVPN test server did not start"))
        if (started := panel.line()) != "watching":
            h.skip(f"the panel double cannot run: {started}")
        EndToEnd.panel = panel
        yield
    finally:
        # A client a failed test left behind goes with the run.
        for pid in clients_of_this_run():
            os.kill(pid, signal.SIGTERM)
        panel.close()
        server.close()


if __name__ == "__main__":
    if os.geteuid() != 0:
        h.skip("not running as root: the OpenVPN server and client need it")
    h.run_tests(3, extra_tools=["WebKitWebDriver", "openvpn", "openssl"], within=server_and_panel)
