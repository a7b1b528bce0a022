import assert from "node:assert/strict";
import { describe, it } from "node:test";
import { fillNativeModules, findHost, routeHostEvents, stretchRootTag, type VarnelHost } from "../src/shim/host_bridge";

function fakeHost() {
  const calls: [string, string, unknown[]][] = [];
  let listener: ((name: string, args: unknown[]) => void) | undefined;
  const host: VarnelHost = {
    modules: {
      VarnelTunnel: { methods: ["getStatus", "connectOvpn"], constants: {} },
      VarnelBuildConfig: {
        methods: ["getConstants"],
        constants: { apiBaseUrl: "https://api.varnel.example/api/v1", includeVpnAuthDeviceMetadata: false },
      },
    },
    call: async (module, method, args) => {
      calls.push([module, method, args]);
      return { state: "disconnected" };
    },
    addEventListener: (l) => {
      listener = l;
      return () => (listener = undefined);
    },
    registerAppRegistry: () => {},
  };
  return { host, calls, send: (name: string, args: unknown[]) => listener?.(name, args) };
}

describe("host modules as React Native native modules", () => {
  it("gives each method an async function that calls the host with the arguments as given", async () => {
    const { host, calls } = fakeHost();
    const modules: Record<string, unknown> = {};
    fillNativeModules(host, modules);
    const tunnel = modules.VarnelTunnel as Record<string, (...args: unknown[]) => Promise<unknown>>;
    assert.deepEqual(await tunnel.getStatus?.(), { state: "disconnected" });
    await tunnel.connectOvpn?.("p1", "p1.ovpn", "", "");
    assert.deepEqual(calls, [
      ["VarnelTunnel", "getStatus", []],
      ["VarnelTunnel", "connectOvpn", ["p1", "p1.ovpn", "", ""]],
    ]);
  });

  it("hands out the constants synchronously, as properties and from getConstants", () => {
    const { host, calls } = fakeHost();
    const modules: Record<string, unknown> = {};
    fillNativeModules(host, modules);
    const config = modules.VarnelBuildConfig as Record<string, unknown> & { getConstants(): unknown };
    const constants = { apiBaseUrl: "https://api.varnel.example/api/v1", includeVpnAuthDeviceMetadata: false };
    assert.deepEqual(config.getConstants(), constants);
    assert.equal(config.apiBaseUrl, constants.apiBaseUrl);
    assert.equal(calls.length, 0);
  });

  it("passes events on with their arguments spread, and stops when removed", () => {
    const { host, send } = fakeHost();
    const seen: unknown[][] = [];
    const remove = routeHostEvents(host, (name, ...args) => seen.push([name, ...args]));
    send("menuBarAction", [{ action: "connectDedicated", serverId: "s1" }]);
    send("appWindowDidShow", []);
    remove();
    send("appWindowDidShow", []);
    assert.deepEqual(seen, [["menuBarAction", { action: "connectDedicated", serverId: "s1" }], ["appWindowDidShow"]]);
  });

  it("finds only a host that has modules, call and addEventListener", () => {
    const { host } = fakeHost();
    assert.equal(findHost({ __varnelHost: host }), host);
    for (const bad of [undefined, null, 5, {}, { ...host, call: 1 }, { ...host, modules: null }]) {
      assert.equal(findHost({ __varnelHost: bad }), undefined);
    }
  });

  it("makes the root element a column so the application fills the window", () => {
    const root = { style: { display: "", flexDirection: "" } };
    stretchRootTag(root);
    assert.deepEqual(root.style, { display: "flex", flexDirection: "column" });
    stretchRootTag(null);
  });
});
