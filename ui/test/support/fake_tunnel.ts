// A recording TunnelApi whose answers come from `answers` (set by a test) or from a small model of
// the desktop side; any other method answers undefined. And a clock whose timers run when a test runs them.
import type { Clock } from "../../src/logic/app_state";
import { disconnectedStatus } from "../../src/logic/session";
import type { Credentials, TunnelApi, TunnelStatus } from "../../src/native/types";

type Answers = Partial<Record<keyof TunnelApi, (...args: any[]) => unknown>>;

export function rejection(message: string): Error {
  return Object.assign(new Error(message), { code: "EUNSPECIFIED", userInfo: null });
}

export class FakeTunnel {
  calls: [string, ...unknown[]][] = [];
  status: TunnelStatus = { ...disconnectedStatus };
  metas: string[] = [];
  auth = new Map<string, Credentials>();
  defaults = new Map<string, string>();
  answers: Answers = {};
  private readonly model: Answers = {
    listSavedOvpnProfiles: () => [...this.metas],
    saveOvpnProfileMeta: (id: string, meta: string) => void (this.metas = [...this.metas.filter((m) => JSON.parse(m).id !== id), meta]),
    deleteOvpnProfile: (id: string) => void (this.metas = this.metas.filter((m) => JSON.parse(m).id !== id)),
    saveOvpnAuth: (id: string, username: string, password: string) => void this.auth.set(id, { username, password }),
    readOvpnAuth: (id: string) => this.auth.get(id) ?? Promise.reject(rejection("Auth file not found")),
    connectOvpn: (id: string) => void (this.status = { ...disconnectedStatus, state: "connecting", profileId: id }),
    disconnect: () => void (this.status = { ...disconnectedStatus }),
    getStatus: () => ({ ...this.status }),
    terminateApps: (names: string[]) => names,
    writeUserDefaults: (key: string, value: string) => void this.defaults.set(key, value),
    readUserDefaults: (key: string) => this.defaults.get(key) ?? "",
  };
  readonly api = new Proxy({} as TunnelApi, {
    get: (_, method: keyof TunnelApi) => async (...args: unknown[]) => {
      this.calls.push([method, ...args]);
      return (this.answers[method] ?? this.model[method])?.(...args);
    },
  });

  called(method: keyof TunnelApi): unknown[][] {
    return this.calls.filter((call) => call[0] === method).map((call) => call.slice(1));
  }
}

export class ManualClock implements Clock {
  timers: { callback: () => void; ms: number }[] = [];
  now = () => 1_700_000_000_000;
  random = () => 0.5;
  setTimeout = (callback: () => void, ms: number) => this.timers[this.timers.push({ callback, ms }) - 1];
  clearTimeout = (timer: unknown) => void (this.timers = this.timers.filter((t) => t !== timer));
}

// Lets every promise chain that is already settled run to its end.
export async function settle(): Promise<void> {
  for (let i = 0; i < 20; i++) await new Promise<void>((resolve) => setImmediate(resolve));
}
