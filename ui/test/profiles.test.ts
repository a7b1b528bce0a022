import assert from "node:assert/strict";
import { describe, it } from "node:test";
import { readOvpnSummary } from "../src/logic/ovpn";
import { profileMetaJson, readProfileListing, readProfileMeta, storedFileName } from "../src/logic/profiles";

describe("OpenVPN configuration summary", () => {
  const cases: { name: string; config: string; host: string; port: number; proto: string; credentials: boolean }[] = [
    { name: "remote and proto lines", config: "client\nproto tcp\nremote vpn.example 443\n", host: "vpn.example", port: 443, proto: "tcp", credentials: false },
    { name: "the last remote line wins", config: "remote a.example 1194\nremote b.example 1195\n", host: "b.example", port: 1195, proto: "", credentials: false },
    { name: "CR LF line ends and extra blanks", config: "remote  vpn.example\t443 udp\r\nproto udp\r\n", host: "vpn.example", port: 443, proto: "udp", credentials: false },
    { name: "a remote line without a port keeps the host only", config: "remote vpn.example\n", host: "vpn.example", port: 0, proto: "", credentials: false },
    { name: "a port with trailing letters reads its digits", config: "remote vpn.example 443x\n", host: "vpn.example", port: 443, proto: "", credentials: false },
    { name: "a port out of range is unknown", config: "remote vpn.example 70000\n", host: "vpn.example", port: 0, proto: "", credentials: false },
    { name: "commented and indented-comment lines are not directives", config: "# remote old.example 1\n;proto tcp\nremote vpn.example 1194\n", host: "vpn.example", port: 1194, proto: "", credentials: false },
    { name: "directives are matched in lower case only", config: "Remote vpn.example 1\nPROTO tcp\n", host: "", port: 0, proto: "", credentials: false },
    { name: "auth-user-pass means credentials are needed", config: "remote vpn.example 1194\nauth-user-pass\n", host: "vpn.example", port: 1194, proto: "", credentials: true },
  ];
  for (const c of cases) {
    it(c.name, () => {
      assert.deepEqual(readOvpnSummary(c.config), { host: c.host, port: c.port, proto: c.proto, needsCredentials: c.credentials });
    });
  }
});

describe("profile metadata", () => {
  it("reads the shared keys, tolerating missing ones and a port written as text", () => {
    const cases: { raw: string; expected: Record<string, unknown> | null }[] = [
      {
        raw: '{"id":"p1","name":"Paris","fileName":"paris.ovpn","host":"fr.example","port":443,"proto":"tcp"}',
        expected: { id: "p1", name: "Paris", fileName: "paris.ovpn", host: "fr.example", port: 443, proto: "tcp", needsCredentials: null },
      },
      {
        raw: '{"id":"p2","fileName":"Oslo North.ovpn","port":"1194"}',
        expected: { id: "p2", name: "Oslo North", fileName: "Oslo North.ovpn", host: "", port: 1194, proto: "", needsCredentials: null },
      },
      { raw: '{"id":7,"needsCredentials":false}', expected: { id: "7", name: "7", fileName: "", host: "", port: 0, proto: "", needsCredentials: false } },
      { raw: '{"name":"no id"}', expected: null },
      { raw: '[{"id":"p"}]', expected: null },
      { raw: "not json", expected: null },
      { raw: "", expected: null },
    ];
    for (const { raw, expected } of cases) {
      const profile = readProfileMeta(raw);
      if (expected === null) assert.equal(profile, null, raw);
      else {
        assert.ok(profile, raw);
        const { meta: _meta, ...shown } = profile;
        assert.deepEqual(shown, expected, raw);
      }
    }
  });

  it("lists by name, keeps the first of two texts with one id and skips what it cannot read", () => {
    const list = readProfileListing([
      '{"id":"b","name":"beta"}',
      "{broken",
      '{"id":"a","name":"Alpha"}',
      '{"id":"b","name":"second b"}',
    ]);
    assert.deepEqual(
      list.map((p) => [p.id, p.name]),
      [
        ["a", "Alpha"],
        ["b", "beta"],
      ],
    );
  });

  it("writes the shared keys and keeps other keys through a round trip", () => {
    const profile = readProfileMeta('{"id":"p1","name":"Paris","region":"eu","port":"bad"}');
    assert.ok(profile);
    const written = JSON.parse(profileMetaJson({ ...profile, name: "Paris 2" }));
    assert.deepEqual(written, { id: "p1", name: "Paris 2", region: "eu", fileName: "", host: "", proto: "" });
  });

  it("stores a picked file under one plain .ovpn name", () => {
    const cases: [string, string][] = [
      ["Berlin 1.ovpn", "Berlin 1.ovpn"],
      ["office.OVPN", "office.OVPN"],
      ["client.conf", "client.conf.ovpn"],
      ['we"ird:name?.ovpn', "we_ird_name_.ovpn"],
      ["C:\\Users\\me\\home.ovpn", "home.ovpn"],
      ["..", "profile.ovpn"],
      ["", "profile.ovpn"],
    ];
    for (const [picked, stored] of cases) assert.equal(storedFileName(picked), stored, picked);
  });
});
