#!/usr/bin/env python3
"""The main window as the desktop sees it, with the interface on standard input and output
(--interface=stdio): title, size, minimum size, icon, closing that only hides, a second start that
brings the first forward and tells the interface, and activateApp.

    window_test.py VARNEL_VPN [UNITTEST_ARGS]
"""
import os
import re
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_harness as h  # noqa: E402

WINDOW_DID_SHOW = {"event": "appWindowDidShow", "args": []}


class MainWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = h.install_app(sys.argv[1])
        cls.app = h.StdioApp([cls.program, "--interface=stdio"])
        # The first request loads the module, which binds the events to this interface.
        answer = cls.app.call({"id": "first", "method": "getStatus"})
        assert answer["result"]["state"] == "disconnected", answer
        cls.window = h.the_main_window()
        h.wait_for("the window on screen", lambda: h.viewable(cls.window))

    @classmethod
    def tearDownClass(cls):
        code = cls.app.close()
        assert code == 0, f"the application ended with {code} when its input ended"

    def setUp(self):
        if not h.viewable(self.window):
            self.app.call({"id": "show", "method": "activateApp"})
            h.wait_for("the window shown again", lambda: h.viewable(self.window))
        self.app.seen.clear()

    def test_window_has_the_title_the_size_and_the_class_of_the_application(self):
        self.assertEqual(h.main_windows(), [self.window])
        info = h.window_info(self.window)
        self.assertEqual((info["Width"], info["Height"]), ("1280", "860"))
        self.assertIn('"varnel-vpn", "Varnel-vpn"', h.property_text(self.window, "WM_CLASS"))

    def test_window_refuses_to_shrink_below_its_minimum_but_grows(self):
        self.assertIn(" minimum size: 1180 by 680", h.property_text(self.window, "WM_NORMAL_HINTS"))
        for asked, kept in (((800, 600), (1180, 680)), ((1000, 900), (1180, 900)), ((1400, 950), (1400, 950)),
                            ((1280, 860), (1280, 860))):
            with self.subTest(asked=asked):
                h.run("xdotool", "windowsize", str(self.window), str(asked[0]), str(asked[1]))
                h.wait_for(f"the size {kept}", lambda: (int(h.window_info(self.window)["Width"]),
                                                         int(h.window_info(self.window)["Height"])) == kept, patience=5)

    def test_window_carries_the_application_icon_at_several_sizes(self):
        icons = h.property_text(self.window, "_NET_WM_ICON")
        sizes = set(re.findall(r"Icon \((\d+) x \1\)", icons))
        # GDK leaves out the 256 image: the property would outgrow what one X request may carry.
        self.assertTrue({"16", "24", "32", "48", "64", "128"} <= sizes, icons[:200])

    def test_closing_hides_the_window_and_the_application_keeps_running(self):
        h.request_close(self.window)
        h.wait_for("the window hidden", lambda: not h.viewable(self.window))
        self.assertIsNone(self.app.process.poll())
        # Still serving: the module answers as before.
        self.assertEqual(self.app.call({"id": 7, "method": "requestNotificationPermission"}), {"id": 7, "result": True})
        self.assertEqual(h.main_windows(), [self.window])

    def test_a_second_start_ends_at_once_and_the_first_shows_its_window_and_tells_the_interface(self):
        h.request_close(self.window)
        h.wait_for("the window hidden", lambda: not h.viewable(self.window))
        started = time.monotonic()
        second = subprocess.run([self.program], capture_output=True, timeout=h.PATIENCE)
        took = time.monotonic() - started
        print(f"second start ended with {second.returncode} after {took * 1000:.0f} ms")
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertLess(took, 1.0)
        h.wait_for("the window shown", lambda: h.viewable(self.window))
        self.assertEqual(self.app.next_line(lambda line: "event" in line), WINDOW_DID_SHOW)
        self.assertEqual(h.main_windows(), [self.window])

    def test_activate_app_shows_the_hidden_window_and_tells_the_interface(self):
        h.request_close(self.window)
        h.wait_for("the window hidden", lambda: not h.viewable(self.window))
        self.assertEqual(self.app.call({"id": 9, "method": "activateApp"}), {"id": 9, "result": True})
        self.assertEqual(self.app.next_line(lambda line: "event" in line), WINDOW_DID_SHOW)
        h.wait_for("the window shown", lambda: h.viewable(self.window))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    h.enter_session()
    # Anything after the programs is for unittest (test names, -k PATTERN).
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
