#!/usr/bin/env python3
"""The whole application end to end: the real interface bundle in varnel-vpn --automation, driven by
WebKitWebDriver, connecting to a real OpenVPN server on loopback (the integration tests' throwaway
CA), with a panel double on the private session bus that clicks the icon's menu. Needs root for the
server and the client; skips (exit code 77, with the reason) where root or a tool is missing.

    e2e_test.py VARNEL_VPN OPENVPN_TEST_SERVER DESKTOP_PANEL [UNITTEST_ARGS]

With VARNEL_E2E_SCREENSHOTS set, the connected main screen and the settings are written to
docs/screenshot-connected.png and docs/screenshot-settings.png.
"""
import json
import os
import re
import signal
import socket
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_harness as h  # noqa: E402

AUTH_SENTENCE = "Authentication failed - check your username and password."
# The application's own management port: the test needs it free, as a user's machine would have it.
MANAGEMENT_PORT = 11940
DOCS = os.path.join(h.HERE, "..", "..", "docs")
RATE = re.compile(r"^(\d+(?:\.\d)?) (B|kB|MB|GB)/s$")


SERVER = None  # the OpenVPN server: port, client profile, user, password
PANEL = None


def clients_of_this_run():
    """The OpenVPN clients the application started with configurations from this run's data folder."""
    root = h.session_root()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            program = os.path.basename(os.readlink(f"/proc/{entry}/exe"))
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                arguments = f.read().decode(errors="replace").split("\0")
        except OSError:
            continue
        if program == "openvpn" and any(a.startswith(root + os.sep) for a in arguments):
            found.append(int(entry))
    return found


class EndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(os.path.dirname(os.path.abspath(sys.argv[1])), "Bundle", "index.windows.bundle"),
                  encoding="utf-8") as f:
            bundle = f.read()
        cls.program = h.install_app(sys.argv[1], bundle_text=bundle)
        cls.page = h.PageSession(cls.program)
        cls.wait_started()

    @classmethod
    def tearDownClass(cls):
        try:
            cls.page.call("VarnelTunnel", "disconnect", [])
        finally:
            cls.page.close()

    @classmethod
    def wait_started(cls):
        cls.page.wait_script("the interface", "return !!document.querySelector('[data-testid=\"profile-list\"]');")

    def setUp(self):
        # Each test has a profile of its own, saved through the module as an import saves it.
        self.profile_id = "e2e-" + self._testMethodName.replace("_", "-")[5:40]
        self.profile_name = "Loopback server"
        meta = {"id": self.profile_id, "name": self.profile_name, "fileName": "client.ovpn", "host": "127.0.0.1",
                "port": SERVER["port"], "proto": "tcp-client"}
        self.expect_result(self.page.call("VarnelTunnel", "saveOvpnProfile", [self.profile_id, SERVER["profile"], "client.ovpn", ""]))
        self.expect_result(self.page.call("VarnelTunnel", "saveOvpnProfileMeta", [self.profile_id, json.dumps(meta)]))
        # The interface reads the list again when its window comes forward.
        self.expect_result(self.page.call("VarnelTunnel", "activateApp", []))
        self.wait_for_element(f"profile-row-{self.profile_id}")
        self.click(f"profile-row-{self.profile_id}")

    def tearDown(self):
        self.expect_result(self.page.call("VarnelTunnel", "disconnect", []))
        h.wait_for("the OpenVPN client ended", lambda: not clients_of_this_run())
        self.expect_result(self.page.call("VarnelTunnel", "deleteOvpnProfile", [self.profile_id]))

    # ---- the page ------------------------------------------------------------------------------

    def expect_result(self, outcome):
        self.assertIn("result", outcome, outcome)
        return outcome["result"]

    def text(self, test_id):
        return self.page.script("""var e = document.querySelector('[data-testid="' + arguments[0] + '"]');
                                   return e === null ? null : e.textContent;""", test_id)

    def wait_for_element(self, test_id):
        self.page.wait_script(test_id, "return !!document.querySelector('[data-testid=\"' + arguments[0] + '\"]');", test_id)

    def wait_for_text(self, test_id, expected):
        try:
            h.wait_for(f'"{expected}" in {test_id}', lambda: self.text(test_id) == expected, patience=60)
        except AssertionError:
            self.fail(f'{test_id} shows "{self.text(test_id)}", not "{expected}"; status-message: '
                      f'"{self.text("status-message")}"')

    def element(self, test_id):
        from selenium.webdriver.common.by import By
        return self.page.driver.find_element(By.CSS_SELECTOR, f'[data-testid="{test_id}"]')

    def click(self, test_id):
        self.wait_for_element(test_id)
        self.element(test_id).click()

    def type_into(self, test_id, text):
        self.wait_for_element(test_id)
        field = self.element(test_id)
        field.clear()
        field.send_keys(text)

    def sign_in(self, password):
        self.type_into("credentials-user", SERVER["user"])
        self.type_into("credentials-password", password)
        self.click("credentials-save")

    def screenshot(self, name):
        if not os.environ.get("VARNEL_E2E_SCREENSHOTS"):
            return
        # Without the focus ring the click left, and once the page has painted what the test saw.
        self.page.driver.execute_async_script("""
            var done = arguments[arguments.length - 1];
            if (document.activeElement) document.activeElement.blur();
            requestAnimationFrame(function () { requestAnimationFrame(function () { done(); }); });""")
        with open(os.path.join(DOCS, name), "wb") as f:
            f.write(self.page.driver.get_screenshot_as_png())

    def assert_rates_are_readings(self):
        for test_id in ("rate-down", "rate-up"):
            reading = self.text(test_id)
            self.assertRegex(reading or "", RATE, test_id)
            self.assertGreaterEqual(float(RATE.match(reading).group(1)), 0)

    # ---- the tests -----------------------------------------------------------------------------

    def test_list_shows_a_profile_saved_through_the_module(self):
        row = self.text(f"profile-row-{self.profile_id}")
        self.assertIn(self.profile_name, row)
        self.assertIn(f"127.0.0.1 · TCP-CLIENT {SERVER['port']}", row)

    def test_connect_signs_in_through_the_form_shows_connected_and_disconnect_ends_it(self):
        self.wait_for_text("status-state", "disconnected")
        self.click("connect-button")
        self.sign_in(SERVER["password"])
        self.wait_for_text("status-state", "connected")
        self.assertEqual(self.text("status-message"), "")
        self.assert_rates_are_readings()
        self.assertEqual(len(clients_of_this_run()), 1)
        self.screenshot("screenshot-connected.png")
        # What the form saved is what the module holds for the profile.
        self.assertEqual(self.expect_result(self.page.call("VarnelTunnel", "readOvpnAuth", [self.profile_id])),
                         {"username": SERVER["user"], "password": SERVER["password"]})

        self.click("disconnect-button")
        self.wait_for_text("status-state", "disconnected")
        self.wait_for_element("connect-button")
        h.wait_for("the OpenVPN client ended", lambda: not clients_of_this_run())
        self.assert_rates_are_readings()

    def test_wrong_password_shows_the_authentication_sentence(self):
        self.click("connect-button")
        self.sign_in("not the password")
        self.wait_for_text("status-message", AUTH_SENTENCE)
        self.wait_for_text("status-state", "disconnected")
        self.wait_for_element("connect-button")

    def test_icon_menu_connects_the_profile_chosen_there(self):
        self.expect_result(self.page.call("VarnelTunnel", "saveOvpnAuth", [self.profile_id, SERVER["user"], SERVER["password"]]))
        self.wait_for_text("status-state", "disconnected")
        items = h.wait_for("the icon registered", lambda: PANEL.ask("items").split()[1:])
        # The menu is published when the interface hands over its description: retried until the
        # profile is in it.
        answers = []
        try:
            h.wait_for("the profile in the icon's menu",
                       lambda: answers.append(PANEL.ask(f"click {items[-1]} {self.profile_name}")) or answers[-1].startswith("clicked"))
        except AssertionError:
            self.fail(f"the panel of {items} answered: {answers[-1]}")
        self.wait_for_text("status-state", "connected")
        self.assertIn(self.profile_name, self.text("connection-card"))

    def test_settings_show_the_switches_as_the_desktop_side_starts(self):
        self.click("nav-settings")
        self.wait_for_element("kill-switch-toggle")
        checked = self.page.script("""return ["kill-switch-toggle", "ipv6-toggle"].map(function (id) {
            return document.querySelector('[data-testid="' + id + '"] input').checked; });""")
        self.assertEqual(checked, [False, True])
        self.screenshot("screenshot-settings.png")
        self.click("nav-main")
        self.wait_for_element("connect-button")


def management_port_taken():
    with socket.socket() as s:
        s.settimeout(1)
        return s.connect_ex(("127.0.0.1", MANAGEMENT_PORT)) == 0


def main():
    global SERVER, PANEL
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    if os.geteuid() != 0:
        h.skip("not running as root: the OpenVPN server and client need it")
    h.enter_session(extra_tools=["WebKitWebDriver", "Xvfb", "openvpn", "openssl"])
    if management_port_taken():
        h.skip(f"something listens on 127.0.0.1:{MANAGEMENT_PORT}, the application's management port")
    server = h.LineProgram([sys.argv[2]])
    panel = None
    try:
        first = json.loads(server.line() or "{}")
        if "port" not in first:
            h.skip(first.get("unavailable", "the OpenVPN test server did not start"))
        SERVER = first
        panel = h.LineProgram([sys.argv[3]])
        started = panel.line()
        if started != "watching":
            h.skip(f"the panel double cannot run: {started}")
        PANEL = panel
        # Anything after the programs is for unittest (test names, -k PATTERN).
        unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
    finally:
        # A client a failed test left behind goes with the run.
        for pid in clients_of_this_run():
            os.kill(pid, signal.SIGTERM)
        if panel is not None:
            panel.close()
        server.close()


if __name__ == "__main__":
    main()
