// Binds TunnelApi to the two native modules the desktop host provides.
import { NativeModules } from "react-native";
import {
  readBuildConstants,
  readCredentials,
  readHelperInfo,
  readHelperInstall,
  readLatency,
  readPickedApp,
  readPickedFile,
  readProfileListing,
  readStatus,
  readTerminated,
} from "./results";
import type { TunnelApi } from "./types";

type Method = (...args: unknown[]) => Promise<unknown>;

export class HostUnavailableError extends Error {
  constructor() {
    super("The Varnel desktop service is not available in this window.");
  }
}

function moduleMethods(name: string): Record<string, unknown> | undefined {
  const module = NativeModules[name];
  return module !== null && typeof module === "object" ? (module as Record<string, unknown>) : undefined;
}

export function hasNativeTunnel(): boolean {
  return moduleMethods("VarnelTunnel") !== undefined;
}

function call(method: string, ...args: unknown[]): Promise<unknown> {
  const fn = moduleMethods("VarnelTunnel")?.[method];
  if (typeof fn !== "function") return Promise.reject(new HostUnavailableError());
  return (fn as Method)(...args);
}

const nothing = (): void => undefined;

export const nativeTunnel: TunnelApi = {
  pingHelper: () => call("pingHelper").then(String),
  installHelper: () => call("installHelper").then(readHelperInstall),
  getHelperInfo: () => call("getHelperInfo").then(readHelperInfo),
  // The fourth argument is accepted by the module and unused.
  saveOvpnProfile: (id, content, fileName) => call("saveOvpnProfile", id, content, fileName, "").then(nothing),
  saveOvpnProfileMeta: (id, metaJson) => call("saveOvpnProfileMeta", id, metaJson).then(nothing),
  listSavedOvpnProfiles: () => call("listSavedOvpnProfiles").then(readProfileListing),
  deleteOvpnProfile: (id) => call("deleteOvpnProfile", id).then(nothing),
  saveOvpnAuth: (id, username, password) => call("saveOvpnAuth", id, username, password).then(nothing),
  readOvpnAuth: (id) => call("readOvpnAuth", id).then(readCredentials),
  connectOvpn: (id, fileName, username, password) =>
    call("connectOvpn", id, fileName, username, password).then(nothing),
  disconnect: () => call("disconnect").then(nothing),
  getStatus: () => call("getStatus").then(readStatus),
  measureTcpLatency: (host, port) => call("measureTcpLatency", host, port).then(readLatency),
  getDeviceMarketingName: () => call("getDeviceMarketingName").then(String),
  setKillSwitchEnabled: (enabled) => call("setKillSwitchEnabled", enabled).then(nothing),
  setBlockIpv6Enabled: (enabled) => call("setBlockIpv6Enabled", enabled).then(nothing),
  pickApp: () => call("pickApp").then(readPickedApp),
  pickOvpnFile: () => call("pickOvpnFile").then(readPickedFile),
  terminateApps: (names) => call("terminateApps", names).then(readTerminated),
  setMenuBarVisible: (visible) => call("setMenuBarVisible", visible).then(nothing),
  updateMenuBarMenu: (menu) => call("updateMenuBarMenu", menu).then(nothing),
  activateApp: () => call("activateApp").then(nothing),
  requestNotificationPermission: () => call("requestNotificationPermission").then(nothing),
  writeUserDefaults: (key, value) => call("writeUserDefaults", key, value).then(nothing),
  readUserDefaults: (key) => call("readUserDefaults", key).then((value) => (typeof value === "string" ? value : "")),
  buildConstants: () => {
    const module = moduleMethods("VarnelBuildConfig");
    const getConstants = module?.getConstants;
    return readBuildConstants(typeof getConstants === "function" ? (getConstants as () => unknown)() : module);
  },
};
