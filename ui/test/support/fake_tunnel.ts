// A recording TunnelApi whose answers each test sets, and a clock that never fires by itself.
import type { Clock } from "../../src/logic/app_state";
import type { Credentials, PickedApp, PickedFile, TunnelApi, TunnelStatus } from "../../src/native/types";
import { disconnectedStatus } from "../../src/logic/session";

export type Call = [method: string, ...args: unknown[]];

export function rejection(message: string): Error {
  return Object.assign(new Error(message), { code: "EUNSPECIFIED", userInfo: null });
}

export interface Deferred<T> {
  promise: Promise<T>;
  resolve(value: T): void;
  reject(error: unknown): void;
}

export function deferred<T>(): Deferred<T> {
  let resolve!: (value: T) => void;
  let reject!: (error: unknown) => void;
  const promise = new Promise<T>((res, rej) => {
    resolve = res;
    reject = rej;
  });
  return { promise, resolve, reject };
}

export class FakeTunnel implements TunnelApi {
  calls: Call[] = [];
  status: TunnelStatus = { ...disconnectedStatus };
  metas: string[] = [];
  auth = new Map<string, Credentials>();
  defaults = new Map<string, string>();
  helperPresent = true;
  pickedFile: PickedFile | null = null;
  pickedApp: PickedApp | null = null;
  latency = new Map<string, number>();
  // Set by a test to hold a call open or make it fail.
  connectAnswer: () => Promise<void> = async () => {
    this.status = { ...disconnectedStatus, state: "connecting", profileId: String(this.lastArgs("connectOvpn")[0]) };
  };
  disconnectAnswer: () => Promise<void> = async () => {
    this.status = { ...disconnectedStatus };
  };
  terminated: (names: string[]) => string[] = (names) => names;

  private record(method: string, ...args: unknown[]): void {
    this.calls.push([method, ...args]);
  }

  called(method: string): Call[] {
    return this.calls.filter((call) => call[0] === method);
  }

  lastArgs(method: string): unknown[] {
    return this.called(method).at(-1)?.slice(1) ?? [];
  }

  async pingHelper() {
    this.record("pingHelper");
    if (!this.helperPresent) throw rejection("OpenVPN not found. Install OpenVPN Community from https://openvpn.net");
    return "pong";
  }
  async installHelper() {
    this.record("installHelper");
    return this.helperPresent
      ? { installed: true, hint: "/usr/sbin/openvpn" }
      : { installed: false, hint: "OpenVPN not found. Install from https://openvpn.net/community-downloads/" };
  }
  async getHelperInfo() {
    this.record("getHelperInfo");
    return { executable: "/usr/sbin/openvpn", profilesDir: "/data/profiles", installed: true, reachable: false };
  }
  async saveOvpnProfile(id: string, content: string, fileName: string) {
    this.record("saveOvpnProfile", id, content, fileName);
  }
  async saveOvpnProfileMeta(id: string, metaJson: string) {
    this.record("saveOvpnProfileMeta", id, metaJson);
    this.metas = [...this.metas.filter((m) => JSON.parse(m).id !== id), metaJson];
  }
  async listSavedOvpnProfiles() {
    this.record("listSavedOvpnProfiles");
    return [...this.metas];
  }
  async deleteOvpnProfile(id: string) {
    this.record("deleteOvpnProfile", id);
    this.metas = this.metas.filter((m) => JSON.parse(m).id !== id);
  }
  async saveOvpnAuth(id: string, username: string, password: string) {
    this.record("saveOvpnAuth", id, username, password);
    this.auth.set(id, { username, password });
  }
  async readOvpnAuth(id: string) {
    this.record("readOvpnAuth", id);
    const saved = this.auth.get(id);
    if (saved === undefined) throw rejection("Auth file not found");
    return saved;
  }
  connectOvpn(id: string, fileName: string, username: string, password: string) {
    this.record("connectOvpn", id, fileName, username, password);
    return this.connectAnswer();
  }
  disconnect() {
    this.record("disconnect");
    return this.disconnectAnswer();
  }
  async getStatus() {
    this.record("getStatus");
    return { ...this.status };
  }
  async measureTcpLatency(host: string, port: number) {
    this.record("measureTcpLatency", host, port);
    return this.latency.get(host) ?? 0;
  }
  async getDeviceMarketingName() {
    this.record("getDeviceMarketingName");
    return "Test PC";
  }
  async setKillSwitchEnabled(enabled: boolean) {
    this.record("setKillSwitchEnabled", enabled);
  }
  async setBlockIpv6Enabled(enabled: boolean) {
    this.record("setBlockIpv6Enabled", enabled);
  }
  async pickApp() {
    this.record("pickApp");
    return this.pickedApp;
  }
  async pickOvpnFile() {
    this.record("pickOvpnFile");
    return this.pickedFile;
  }
  async terminateApps(names: string[]) {
    this.record("terminateApps", names);
    return this.terminated(names);
  }
  async setMenuBarVisible(visible: boolean) {
    this.record("setMenuBarVisible", visible);
  }
  async updateMenuBarMenu(menu: string) {
    this.record("updateMenuBarMenu", menu);
  }
  async activateApp() {
    this.record("activateApp");
  }
  async requestNotificationPermission() {
    this.record("requestNotificationPermission");
  }
  async writeUserDefaults(key: string, value: string) {
    this.record("writeUserDefaults", key, value);
    this.defaults.set(key, value);
  }
  async readUserDefaults(key: string) {
    this.record("readUserDefaults", key);
    return this.defaults.get(key) ?? "";
  }
  buildConstants() {
    return { apiBaseUrl: "https://api.varnel.example/api/v1", includeVpnAuthDeviceMetadata: false };
  }
}

export class ManualClock implements Clock {
  time = 1_700_000_000_000;
  timers: { callback: () => void; ms: number }[] = [];
  now() {
    return this.time;
  }
  random() {
    return 0.5;
  }
  setTimeout(callback: () => void, ms: number) {
    const timer = { callback, ms };
    this.timers.push(timer);
    return timer;
  }
  clearTimeout(handle: unknown) {
    this.timers = this.timers.filter((timer) => timer !== handle);
  }
}

// Lets every promise chain that is already settled run to its end.
export async function settle(): Promise<void> {
  for (let i = 0; i < 20; i++) await new Promise<void>((resolve) => setImmediate(resolve));
}
