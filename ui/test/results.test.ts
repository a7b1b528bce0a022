import assert from "node:assert/strict";
import { describe, it } from "node:test";
import { messageOf } from "../src/logic/errors";
import { durationText, rateReading } from "../src/logic/format";
import { disconnectedStatus } from "../src/logic/session";
import { defaultSettings, readSettings } from "../src/logic/settings";
import { readPickedApp, readPickedFile, readStatus } from "../src/native/results";

describe("answers from the desktop side", () => {
  it("reads a status object field by field, whatever else it holds", () => {
    assert.deepEqual(readStatus({ state: "connected", profileId: "p", pid: 42, downBps: 2000.0, upBps: 10 }), {
      state: "connected",
      message: "",
      profileId: "p",
      pid: 42,
      downBps: 2000,
      upBps: 10,
    });
    assert.deepEqual(readStatus({ state: "CONNECTED", downBps: null, upBps: -5, message: 3 }), disconnectedStatus);
    assert.equal(readStatus(null).state, "disconnected");
  });

  it("tells a cancelled dialog from a choice", () => {
    assert.equal(readPickedFile({}), null);
    assert.deepEqual(readPickedFile({ fileName: "a.ovpn", content: "" }), { fileName: "a.ovpn", content: "", sourceDirectory: "" });
    assert.equal(readPickedApp({}), null);
    assert.deepEqual(readPickedApp({ bundleId: "x.exe", name: "", path: "/x.exe", color: "#1d8fef" }), {
      bundleId: "x.exe",
      name: "x.exe",
      path: "/x.exe",
    });
  });

  it("turns a rejection into its sentence, never into an object's text", () => {
    const rejected = Object.assign(new Error("Auth file not found"), { code: "EUNSPECIFIED", userInfo: null });
    assert.equal(messageOf(rejected), "Auth file not found");
    assert.equal(messageOf({ code: "EHOST", message: "The host is gone." }), "The host is gone.");
    for (const odd of [{}, null, undefined, "", { message: 5 }]) {
      assert.equal(messageOf(odd), "The request could not be completed.");
    }
  });
});

describe("settings from user defaults", () => {
  it("falls back to the defaults for values never written or not understood", () => {
    const empty = { killSwitch: "", blockIpv6: "", menuBarVisible: "", appsToClose: "", lastProfileId: "" };
    assert.deepEqual(readSettings(empty), defaultSettings);
    const odd = { killSwitch: "1", blockIpv6: "false", menuBarVisible: "false", appsToClose: '{"not":"a list"}', lastProfileId: "p1" };
    assert.deepEqual(readSettings(odd), { ...defaultSettings, blockIpv6: false, menuBarVisible: false, lastProfileId: "p1" });
  });

  it("drops app entries without an executable name", () => {
    const apps = JSON.stringify([{ bundleId: "a.exe" }, { name: "no id" }, null, { bundleId: "" }]);
    const settings = readSettings({ killSwitch: "", blockIpv6: "", menuBarVisible: "", appsToClose: apps, lastProfileId: "" });
    assert.deepEqual(settings.appsToClose, [{ bundleId: "a.exe", name: "a.exe", path: "" }]);
  });
});

describe("readings", () => {
  it("shows rates in decimal units with sensible precision", () => {
    const cases: [number, string][] = [
      [0, "0 B/s"],
      [999, "999 B/s"],
      [2000, "2.0 kB/s"],
      [123_456, "123 kB/s"],
      [1_500_000, "1.5 MB/s"],
      [Number.NaN, "0 B/s"],
    ];
    for (const [bps, text] of cases) {
      const r = rateReading(bps);
      assert.equal(`${r.value} ${r.unit}`, text);
    }
  });

  it("shows connected time as minutes and seconds, with hours when needed", () => {
    assert.equal(durationText(9_400), "0:09");
    assert.equal(durationText(61_000), "1:01");
    assert.equal(durationText(3_723_000), "1:02:03");
  });
});
