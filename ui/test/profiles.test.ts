import assert from "node:assert/strict";
import { it } from "node:test";
import { readOvpnSummary } from "../src/logic/ovpn";
import { profileMetaJson, readProfileListing, readProfileMeta, storedFileName } from "../src/logic/profiles";
import { readSettings } from "../src/logic/settings";
import { trayMenuText } from "../src/logic/tray_menu";

// Read as the desktop side reads them for the kill switch: the last remote wins, the port is a
// leading integer, and only lower-case directives count.
const configs: [config: string, host: string, port: number, proto: string, credentials?: boolean][] = [
  ["client\nproto tcp\nremote vpn.example 443\n", "vpn.example", 443, "tcp"],
  ["remote a.example 1194\nremote b.example 1195\n", "b.example", 1195, ""],
  ["remote  vpn.example\t443 udp\r\nproto udp\r\n", "vpn.example", 443, "udp"],
  ["remote vpn.example\n", "vpn.example", 0, ""],
  ["remote vpn.example 443x\n", "vpn.example", 443, ""],
  ["remote vpn.example 70000\n", "vpn.example", 0, ""],
  ["# remote old.example 1\n;proto tcp\nremote vpn.example 1194\n", "vpn.example", 1194, ""],
  ["Remote vpn.example 1\nPROTO tcp\n", "", 0, ""],
  ["remote vpn.example 1194\nauth-user-pass\n", "vpn.example", 1194, "", true],
];
for (const [config, host, port, proto, needsCredentials = false] of configs) {
  it(`configuration ${JSON.stringify(config)}`, () => assert.deepEqual(readOvpnSummary(config), { host, port, proto, needsCredentials }));
}

// id, name, fileName, host, port, proto and needsCredentials as read; null when it is not a profile.
const metas: [raw: string, read: (string | number | boolean | null)[] | null][] = [
  ['{"id":"p1","name":"Paris","fileName":"paris.ovpn","host":"fr.example","port":443,"proto":"tcp"}', ["p1", "Paris", "paris.ovpn", "fr.example", 443, "tcp", null]],
  ['{"id":"p2","fileName":"Oslo North.ovpn","port":"1194"}', ["p2", "Oslo North", "Oslo North.ovpn", "", 1194, "", null]],
  ['{"id":7,"needsCredentials":false}', ["7", "7", "", "", 0, "", false]],
  ['{"name":"no id"}', null],
  ['[{"id":"p"}]', null],
  ["not json", null],
];
for (const [raw, read] of metas) {
  it(`metadata ${raw}`, () => {
    const p = readProfileMeta(raw);
    assert.deepEqual(p && [p.id, p.name, p.fileName, p.host, p.port, p.proto, p.needsCredentials], read);
  });
}

it("a listing is sorted by name, keeps the first of one id and skips what it cannot read", () => {
  const list = readProfileListing(['{"id":"b","name":"beta"}', "{broken", '{"id":"a","name":"Alpha"}', '{"id":"b","name":"b2"}']);
  assert.deepEqual(list.map((p) => p.name), ["Alpha", "beta"]);
});

it("rewritten metadata keeps the keys other tools wrote", () => {
  const profile = readProfileMeta('{"id":"p1","name":"Paris","region":"eu","port":"bad"}');
  assert.deepEqual(profile && JSON.parse(profileMetaJson({ ...profile, name: "Paris 2" })), { id: "p1", name: "Paris 2", region: "eu", fileName: "", host: "", proto: "" });
});

it("a picked file is stored under one plain .ovpn name, never a path", () => {
  const names = [["Berlin 1.ovpn", "Berlin 1.ovpn"], ["office.OVPN", "office.OVPN"], ["client.conf", "client.conf.ovpn"],
    ['we"ird:name?.ovpn', "we_ird_name_.ovpn"], ["C:\\Users\\me\\home.ovpn", "home.ovpn"], ["..", "profile.ovpn"], ["", "profile.ovpn"]];
  assert.deepEqual(names.map(([picked]) => storedFileName(picked ?? "")), names.map(([, stored]) => stored));
});

it("apps to close need an executable name, and one entry is kept per name in any case", () => {
  const apps = JSON.stringify([{ bundleId: "a.exe" }, { bundleId: "A.EXE" }, { name: "no id" }, null, { bundleId: "" }]);
  const settings = readSettings({ killSwitch: "", blockIpv6: "", menuBarVisible: "", appsToClose: apps, lastProfileId: "" });
  assert.deepEqual(settings.appsToClose, [{ bundleId: "a.exe", name: "a.exe", path: "" }]);
});

// The desktop side scans the description byte by byte: a value ends at the first double quote, an
// entry at "}", the list at "]", and escapes are not decoded. So no text may hold those or need an
// escape, and an id that would have to be altered is left out.
const labels: [label: string, shown: string][] = [
  ["Zürich 🇨🇭", "Zürich 🇨🇭"], ['The "fast" one', "The 'fast' one"], ["Office\\VPN", "Office/VPN"], ["Paris [UDP]", "Paris (UDP)"],
  ["Team {blue}", "Team (blue)"], ["Line\none\ttwo", "Line one two"], ["bad \ud800 half", "bad \ufffd half"],
];
for (const [label, shown] of labels) {
  it(`tray menu label ${JSON.stringify(label)}`, () => {
    const ids = ['quote"d', "back\\slash", "close]", "brace}", "", "line\nfeed", "half\ud800", "fine-1", "Zürich-2"];
    const text = trayMenuText({ connected: true, serverLabel: label, servers: ids.map((id) => ({ id, label })) });
    assert.ok(!text.includes("\\"), text);
    const dedicated = ["fine-1", "Zürich-2"].map((id) => ({ id, label: shown }));
    assert.deepEqual(JSON.parse(text), { connected: true, serverLabel: shown, dedicated });
  });
}
