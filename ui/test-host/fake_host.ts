// A stand-in for the desktop host's page global, answering with plausible values, so that the
// interface can be looked at in an ordinary browser: build with `npm run build:test-host` and open
// test-host/index.html. Query options: ?helper=missing (OpenVPN absent), ?profiles=none (empty
// list). From the console: __fakeHost.emit("menuBarAction", {action: "quickConnect"}),
// __fakeHost.drop() (the tunnel drops), __fakeHost.calls (what the interface asked). For headless
// screenshots: ?events=quickConnect,connectDedicated:par1,disconnect sends those tray choices and
// ?click=nav-settings,... clicks those test ids, one step every 700 ms after the page has loaded.

type Listener = (eventName: string, args: unknown[]) => void;
type Handler = (...args: unknown[]) => unknown;

const options = new URLSearchParams(globalThis.location?.search ?? "");
const openVpnPresent = options.get("helper") !== "missing";
const delay = (ms: number) => new Promise((resolve) => setTimeout(resolve, ms));

interface FakeProfile {
  meta: string;
  files: Record<string, string>;
  auth?: { username: string; password: string };
}

const profiles = new Map<string, FakeProfile>();
if (options.get("profiles") !== "none") {
  const seed = (id: string, meta: object, auth?: FakeProfile["auth"]) =>
    profiles.set(id, { meta: JSON.stringify({ id, ...meta }), files: { [`${id}.ovpn`]: "client\n" }, auth });
  seed("fra2", { name: "Frankfurt 2", fileName: "fra2.ovpn", host: "de2.vpn.example", port: 1194, proto: "udp", needsCredentials: true }, { username: "demo", password: "demo-password" });
  seed("par1", { name: "Paris", fileName: "par1.ovpn", host: "fr1.vpn.example", port: 443, proto: "tcp", needsCredentials: true });
  // Saved by another tool: only the shared keys, the port as text.
  seed("tor1", { name: "Toronto", fileName: "tor1.ovpn", host: "ca1.vpn.example", port: "1194", proto: "udp" });
}

const defaults = new Map<string, string>();
const tunnel = { state: "disconnected", message: "", profileId: "", pid: 0 };
let rates = { down: 0, up: 0 };
const listeners = new Set<Listener>();
const calls: { method: string; args: unknown[] }[] = [];

function rejection(message: string): Error {
  return Object.assign(new Error(message), { code: "EUNSPECIFIED", userInfo: null });
}

function emit(eventName: string, ...args: unknown[]): void {
  for (const listener of listeners) listener(eventName, args);
}

const notFound = "OpenVPN not found. Install OpenVPN Community from https://openvpn.net";

// One answer per module method, written in the module's table order, which is the order the host
// lists the method names in.
const handlers: Record<string, Handler> = {
  pingHelper: () => {
    if (!openVpnPresent) throw rejection(notFound);
    return "pong";
  },
  installHelper: () => ({
    installed: openVpnPresent,
    reachable: openVpnPresent,
    pong: openVpnPresent ? "pong" : "",
    hint: openVpnPresent ? "C:\\Program Files\\OpenVPN\\bin\\openvpn.exe" : "OpenVPN not found. Install from https://openvpn.net/community-downloads/",
  }),
  getHelperInfo: () => ({
    machService: "openvpn.exe",
    plist: openVpnPresent ? "C:\\Program Files\\OpenVPN\\bin\\openvpn.exe" : "",
    profilesDir: "C:\\Users\\demo\\AppData\\Local\\VarnelMac\\profiles",
    installed: openVpnPresent,
    reachable: tunnel.state !== "disconnected",
  }),
  saveOvpnProfile: (id, content, fileName) => {
    const profile = profiles.get(String(id)) ?? { meta: "", files: {} };
    profile.files[String(fileName)] = String(content);
    profiles.set(String(id), profile);
    return { configPath: `C:\\Users\\demo\\AppData\\Local\\VarnelMac\\profiles\\${id}\\${fileName}`, fileName };
  },
  saveOvpnProfileMeta: (id, meta) => {
    const profile = profiles.get(String(id)) ?? { meta: "", files: {} };
    profile.meta = String(meta);
    profiles.set(String(id), profile);
    return null;
  },
  listSavedOvpnProfiles: () => [...profiles.values()].filter((p) => p.meta !== "").map((p) => ({ _raw: p.meta })),
  deleteOvpnProfile: (id) => {
    profiles.delete(String(id));
    return null;
  },
  saveOvpnAuth: (id, username, password) => {
    const profile = profiles.get(String(id)) ?? { meta: "", files: {} };
    profile.auth = { username: String(username), password: String(password) };
    profiles.set(String(id), profile);
    return null;
  },
  readOvpnAuth: (id) => {
    const auth = profiles.get(String(id))?.auth;
    if (auth === undefined) throw rejection("Auth file not found");
    return { ...auth };
  },
  connectOvpn: async (id, _fileName, username, password) => {
    if (!openVpnPresent) throw rejection("OpenVPN not found. Install OpenVPN Community from https://openvpn.net/community-downloads/");
    const profile = profiles.get(String(id));
    if (profile === undefined || Object.keys(profile.files).length === 0) throw rejection(`VPN config not found for profile: ${id}`);
    if (username) profile.auth = { username: String(username), password: String(password) };
    Object.assign(tunnel, { state: "connecting", message: "", profileId: String(id), pid: 4242 });
    await delay(400);
    setTimeout(() => {
      if (tunnel.profileId !== id || tunnel.state !== "connecting") return;
      if (profile.auth === undefined) Object.assign(tunnel, { state: "disconnected", message: "Authentication failed - check your username and password.", pid: 0 });
      else tunnel.state = "connected";
    }, 1200);
    return { state: "connecting" };
  },
  disconnect: async () => {
    await delay(300);
    Object.assign(tunnel, { state: "disconnected", message: "", profileId: "", pid: 0 });
    return { state: "disconnected" };
  },
  getStatus: () => {
    if (tunnel.state === "connected") {
      rates = { down: Math.max(0, rates.down * 0.7 + Math.random() * 2_400_000 * 0.3), up: Math.max(0, rates.up * 0.7 + Math.random() * 320_000 * 0.3) };
    } else rates = { down: 0, up: 0 };
    const result: Record<string, unknown> = { state: tunnel.state, downBps: Math.trunc(rates.down), upBps: Math.trunc(rates.up) };
    if (tunnel.message) result.message = tunnel.message;
    if (tunnel.profileId) result.profileId = tunnel.profileId;
    if (tunnel.pid > 0 && tunnel.state !== "disconnected") result.pid = tunnel.pid;
    return result;
  },
  measureTcpLatency: async (host) => {
    await delay(150 + Math.random() * 400);
    return String(host).startsWith("ca") ? 0 : 18 + Math.floor(Math.random() * 60);
  },
  getTrafficStats: () => ({ downBps: Math.trunc(rates.down), upBps: Math.trunc(rates.up) }),
  getDeviceMarketingName: () => "Example Laptop 14",
  promptVpnAuth: () => {
    throw rejection("Interactive auth prompt not available on Windows");
  },
  setKillSwitchEnabled: (enabled) => ({ enabled: Boolean(enabled) }),
  setBlockIpv6Enabled: (enabled) => ({ enabled: Boolean(enabled) }),
  pickApp: async () => {
    await delay(200);
    return { bundleId: "example.exe", name: "example", path: "C:\\Program Files\\Example\\example.exe", color: "#1d8fef" };
  },
  pickOvpnFile: async () => {
    await delay(200);
    return {
      fileName: "Amsterdam 3.ovpn",
      content: "client\ndev tun\nproto udp\nremote nl3.vpn.example 1194\nauth-user-pass\n",
      sourceDirectory: "C:\\Users\\demo\\Downloads",
    };
  },
  terminateApps: (names) => ({ terminated: Array.isArray(names) ? names.filter((n) => String(n).toLowerCase() === "example.exe") : [] }),
  setMenuBarVisible: (visible) => Boolean(visible),
  updateMenuBarMenu: () => true,
  activateApp: () => {
    emit("appWindowDidShow");
    return true;
  },
  notifyVpnConnectedOnHide: () => true,
  requestNotificationPermission: () => true,
  writeUserDefaults: (key, value) => {
    defaults.set(String(key), String(value));
    return null;
  },
  readUserDefaults: (key) => defaults.get(String(key)) ?? "",
  writeKeychainItem: () => null,
  readKeychainItem: () => "",
  deleteKeychainItem: () => null,
};

const host = {
  modules: {
    VarnelTunnel: { methods: Object.keys(handlers), constants: {} },
    VarnelBuildConfig: {
      methods: ["getConstants"],
      constants: { apiBaseUrl: "https://api.varnel.example/api/v1", includeVpnAuthDeviceMetadata: false },
    },
  },
  async call(module: string, method: string, args: unknown[]): Promise<unknown> {
    calls.push({ method, args });
    const handler = module === "VarnelTunnel" ? handlers[method] : undefined;
    if (handler === undefined) throw Object.assign(new Error(`Unknown method ${module}.${method}.`), { code: "EHOST" });
    // Values cross as JSON, as they do between the real host and the page.
    return JSON.parse(JSON.stringify((await handler(...args)) ?? null));
  },
  addEventListener(listener: Listener): () => void {
    listeners.add(listener);
    return () => listeners.delete(listener);
  },
  registry: null as { runApplication(name: string, params: object): void } | null,
  registerAppRegistry(registry: { runApplication(name: string, params: object): void }): void {
    host.registry = registry;
  },
};

function runSteps(): void {
  const steps = [
    ...(options.get("events") ?? "").split(",").filter(Boolean).map((step) => () => {
      const [action, serverId] = step.split(":");
      emit("menuBarAction", serverId ? { action, serverId } : { action });
    }),
    ...(options.get("click") ?? "").split(",").filter(Boolean).map((testId) => () => {
      // A switch's own control is the input laid over it, which is what a pointer would hit.
      const element = document.querySelector<HTMLElement>(`[data-testid="${testId}"]`);
      (element?.querySelector<HTMLElement>("input[role=switch]") ?? element)?.click();
    }),
  ];
  steps.forEach((step, i) => setTimeout(step, 700 * (i + 1)));
}
globalThis.addEventListener?.("load", runSteps);

Object.assign(globalThis, {
  __varnelHost: host,
  __fakeHost: {
    calls,
    emit,
    drop(message = "Connection closed") {
      Object.assign(tunnel, { state: "disconnected", message, pid: 0 });
    },
  },
});

export {};
