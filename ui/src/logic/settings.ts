// The user's settings, kept with writeUserDefaults. The kill switch and IPv6 blocking live only in
// the desktop side's memory, so they are written here and handed over again at every start.

export interface AppToClose {
  bundleId: string;
  name: string;
  path: string;
}

export interface Settings {
  killSwitch: boolean;
  blockIpv6: boolean;
  menuBarVisible: boolean;
  appsToClose: AppToClose[];
  lastProfileId: string;
}

// The desktop side starts with the kill switch off and IPv6 blocked; the icon is shown by default.
export const defaultSettings: Settings = {
  killSwitch: false,
  blockIpv6: true,
  menuBarVisible: true,
  appsToClose: [],
  lastProfileId: "",
};

export const settingKeys = {
  killSwitch: "killSwitchEnabled",
  blockIpv6: "blockIpv6Enabled",
  menuBarVisible: "menuBarVisible",
  appsToClose: "appsToClose",
  lastProfileId: "lastProfileId",
} as const satisfies Record<keyof Settings, string>;

export type StoredSettings = Record<keyof Settings, string>;

function readFlag(text: string, fallback: boolean): boolean {
  if (text === "true") return true;
  if (text === "false") return false;
  return fallback;
}

function readApps(text: string): AppToClose[] {
  let parsed: unknown;
  try {
    parsed = JSON.parse(text);
  } catch {
    return [];
  }
  if (!Array.isArray(parsed)) return [];
  const apps: AppToClose[] = [];
  for (const item of parsed) {
    if (item === null || typeof item !== "object") continue;
    const { bundleId, name, path } = item as Record<string, unknown>;
    if (typeof bundleId !== "string" || bundleId === "") continue;
    apps.push({ bundleId, name: typeof name === "string" && name ? name : bundleId, path: typeof path === "string" ? path : "" });
  }
  return withoutDuplicateApps(apps);
}

// A value that was never written reads as the empty string, which leaves the default in place.
export function readSettings(stored: StoredSettings): Settings {
  return {
    killSwitch: readFlag(stored.killSwitch, defaultSettings.killSwitch),
    blockIpv6: readFlag(stored.blockIpv6, defaultSettings.blockIpv6),
    menuBarVisible: readFlag(stored.menuBarVisible, defaultSettings.menuBarVisible),
    appsToClose: readApps(stored.appsToClose),
    lastProfileId: stored.lastProfileId,
  };
}

export function storedValue(value: Settings[keyof Settings]): string {
  if (typeof value === "boolean") return value ? "true" : "false";
  if (typeof value === "string") return value;
  return JSON.stringify(value);
}

// Executable names are matched without regard to A-Z case when apps are closed, so one entry per
// such name is enough.
function appKey(app: AppToClose): string {
  return app.bundleId.replace(/[A-Z]/g, (c) => c.toLowerCase());
}

function withoutDuplicateApps(apps: AppToClose[]): AppToClose[] {
  const seen = new Set<string>();
  return apps.filter((app) => {
    const key = appKey(app);
    if (seen.has(key)) return false;
    seen.add(key);
    return true;
  });
}

export function withApp(apps: readonly AppToClose[], app: AppToClose): AppToClose[] {
  return withoutDuplicateApps([...apps, app]);
}

export function withoutApp(apps: readonly AppToClose[], bundleId: string): AppToClose[] {
  return apps.filter((app) => app.bundleId !== bundleId);
}
