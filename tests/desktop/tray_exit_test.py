#!/usr/bin/env python3
"""The notification-area icon's exit command, chosen in a panel's copy of its menu: the application
ends at once with 0 (the tunnel, if any, stays up).

    tray_exit_test.py VARNEL_VPN DESKTOP_PANEL
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop_harness as h  # noqa: E402


class TrayExit(unittest.TestCase):
    def test_exit_in_the_icons_menu_ends_the_application_with_0(self):
        panel = h.LineProgram([sys.argv[2]])
        try:
            self.assertEqual(panel.line(), "watching")
            app = h.StdioApp([h.install_app(sys.argv[1]), "--interface=stdio"])
            # The first module request starts the tray, whose icon registers with the panel.
            self.assertTrue(app.call({"id": 1, "method": "setMenuBarVisible", "args": [True]})["result"])
            items = h.wait_for("the icon registered", lambda: panel.ask("items").split()[1:])
            self.assertTrue(panel.ask(f"click {items[-1]} Exit Varnel VPN").startswith("clicked"))
            h.wait_for("the application ended", lambda: app.process.poll() is not None)
            self.assertEqual(app.process.returncode, 0)
        finally:
            panel.close()


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    h.enter_session()
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
