import assert from "node:assert/strict";
import { it } from "node:test";
import { messageOf } from "../src/logic/errors";
import { durationText, rateReading } from "../src/logic/format";
import { disconnectedStatus } from "../src/logic/session";
import { defaultSettings, readSettings } from "../src/logic/settings";
import { readPickedApp, readPickedFile, readStatus } from "../src/native/results";
import { fillNativeModules, findHost, routeHostEvents, type VarnelHost } from "../src/shim/host_bridge";

it("a status is read field by field; an unknown word or odd numbers read as disconnected", () => {
  const status = { state: "connected", message: "", profileId: "p", pid: 42, downBps: 2000, upBps: 10 };
  assert.deepEqual(readStatus({ ...status, extra: true }), status);
  assert.deepEqual([readStatus({ state: "CONNECTED", downBps: null, upBps: -5, message: 3 }), readStatus(null).state], [disconnectedStatus, "disconnected"]);
});

it("a cancelled dialog reads as null, a choice with what it left out filled in", () => {
  assert.deepEqual([readPickedFile({}), readPickedApp({}), readPickedFile({ fileName: "a.ovpn", content: "" })],
    [null, null, { fileName: "a.ovpn", content: "", sourceDirectory: "" }]);
  assert.deepEqual(readPickedApp({ bundleId: "x.exe", name: "", path: "/x.exe", color: "#1d8fef" }), { bundleId: "x.exe", name: "x.exe", path: "/x.exe" });
});

it("a rejection reads as its sentence, never as an object's text", () => {
  const odd = [{}, null, undefined, "", { message: 5 }].map(messageOf);
  assert.deepEqual([messageOf(new Error("Auth file not found")), messageOf({ code: "EHOST", message: "The host is gone." }), ...odd],
    ["Auth file not found", "The host is gone.", ...odd.map(() => "The request could not be completed.")]);
});

it("stored settings never written or not understood read as the defaults", () => {
  const odd = { killSwitch: "1", blockIpv6: "false", menuBarVisible: "", appsToClose: '{"not":"a list"}', lastProfileId: "p1" };
  assert.deepEqual(readSettings(odd), { ...defaultSettings, blockIpv6: false, lastProfileId: "p1" });
});

it("rates read in decimal units, connected time as minutes and seconds with hours when needed", () => {
  const rates = [0, 999, 2000, 123_456, 1_500_000, Number.NaN].map((bps) => Object.values(rateReading(bps)).join(" "));
  assert.deepEqual(rates, ["0 B/s", "999 B/s", "2.0 kB/s", "123 kB/s", "1.5 MB/s", "0 B/s"]);
  assert.deepEqual([9_400, 61_000, 3_723_000].map(durationText), ["0:09", "1:01", "1:02:03"]);
});

it("the host's modules become native modules: calls with their arguments, constants at once, events spread", async () => {
  const calls: unknown[][] = [];
  let listener: ((name: string, args: unknown[]) => void) | undefined;
  const host: VarnelHost = {
    modules: { VarnelTunnel: { methods: ["connectOvpn"], constants: {} }, VarnelBuildConfig: { methods: ["getConstants"], constants: { apiBaseUrl: "u" } } },
    call: async (...call) => calls.push(call),
    addEventListener: (l) => ((listener = l), () => (listener = undefined)),
    registerAppRegistry: () => {},
  };
  const modules: Record<string, Record<string, (...args: unknown[]) => unknown>> = {};
  fillNativeModules(host, modules);
  await modules.VarnelTunnel?.connectOvpn?.("p1", "p1.ovpn", "", "");
  assert.deepEqual([calls, modules.VarnelBuildConfig?.getConstants?.(), modules.VarnelBuildConfig?.apiBaseUrl], [[["VarnelTunnel", "connectOvpn", ["p1", "p1.ovpn", "", ""]]], { apiBaseUrl: "u" }, "u"]);
  const seen: unknown[][] = [];
  const remove = routeHostEvents(host, (...event) => seen.push(event));
  listener?.("menuBarAction", [{ action: "disconnect" }]);
  remove();
  assert.deepEqual([seen, listener], [[["menuBarAction", { action: "disconnect" }]], undefined]);
  assert.equal(findHost({ __varnelHost: host }), host);
  for (const bad of [undefined, 5, {}, { ...host, call: 1 }, { ...host, modules: null }]) assert.equal(findHost({ __varnelHost: bad }), undefined);
});
