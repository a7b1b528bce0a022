import assert from "node:assert/strict";
import { describe, it } from "node:test";
import { trayMenuText } from "../src/logic/tray_menu";
import { scanMenu } from "./support/menu_scanner";

describe("tray menu description", () => {
  it("scans back to the state and servers it describes", () => {
    const text = trayMenuText({
      connected: true,
      serverLabel: "Frankfurt 2",
      servers: [
        { id: "s1", label: "Paris" },
        { id: "s2", label: "Zürich 🇨🇭" },
      ],
    });
    assert.deepEqual(scanMenu(text), {
      connected: true,
      serverLabel: "Frankfurt 2",
      dedicated: [
        { id: "s1", label: "Paris" },
        { id: "s2", label: "Zürich 🇨🇭" },
      ],
    });
  });

  // Each label holds a character at which the scanner would cut the value, the entry or the list.
  const labels: { name: string; label: string; shown: string }[] = [
    { name: "a double quote", label: 'The "fast" one', shown: "The 'fast' one" },
    { name: "a backslash", label: "Office\\VPN", shown: "Office/VPN" },
    { name: "a closing bracket", label: "Paris [UDP]", shown: "Paris (UDP)" },
    { name: "braces", label: "Team {blue}", shown: "Team (blue)" },
    { name: "control characters", label: "Line\none\ttwo", shown: "Line one two" },
    { name: "an unpaired surrogate", label: "bad \ud800 half", shown: "bad \ufffd half" },
  ];
  for (const { name, label, shown } of labels) {
    it(`keeps every server when a label holds ${name}`, () => {
      const text = trayMenuText({
        connected: false,
        serverLabel: label,
        servers: [
          { id: "first", label },
          { id: "second", label: "After" },
        ],
      });
      const menu = scanMenu(text);
      assert.equal(menu.serverLabel, shown);
      assert.deepEqual(menu.dedicated, [
        { id: "first", label: shown },
        { id: "second", label: "After" },
      ]);
    });
  }

  it("leaves out servers whose id the scanner cannot carry unchanged", () => {
    const ids = ['quote"d', "back\\slash", "close]", "brace}", "", "line\nfeed", "fine-1"];
    const menu = scanMenu(trayMenuText({ connected: false, serverLabel: "", servers: ids.map((id) => ({ id, label: id })) }));
    assert.deepEqual(menu.dedicated, [{ id: "fine-1", label: "fine-1" }]);
  });

  it("says not connected, with no label and no servers, for an empty description", () => {
    assert.deepEqual(scanMenu(trayMenuText({ connected: false, serverLabel: "", servers: [] })), {
      connected: false,
      serverLabel: "",
      dedicated: [],
    });
  });
});
