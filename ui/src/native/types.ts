// The module's answers as the application uses them, after results.ts has checked their shape.

export type StatusWord = "disconnected" | "connecting" | "connected";

export interface TunnelStatus {
  state: StatusWord;
  message: string;
  profileId: string;
  pid: number;
  downBps: number;
  upBps: number;
}

export interface PickedFile {
  fileName: string;
  content: string;
  sourceDirectory: string;
}

export interface PickedApp {
  bundleId: string;
  name: string;
  path: string;
}

export interface HelperInstall {
  installed: boolean;
  hint: string;
}

export interface HelperInfo {
  executable: string;
  profilesDir: string;
  installed: boolean;
  reachable: boolean;
}

export interface Credentials {
  username: string;
  password: string;
}

export interface BuildConstants {
  apiBaseUrl: string;
  includeVpnAuthDeviceMetadata: boolean;
}

// Everything the interface asks of the desktop side. Production binds it to NativeModules
// (tunnel.ts); tests bind it to a recording fake.
export interface TunnelApi {
  pingHelper(): Promise<string>;
  installHelper(): Promise<HelperInstall>;
  getHelperInfo(): Promise<HelperInfo>;
  saveOvpnProfile(profileId: string, content: string, fileName: string): Promise<void>;
  saveOvpnProfileMeta(profileId: string, metaJson: string): Promise<void>;
  listSavedOvpnProfiles(): Promise<string[]>;
  deleteOvpnProfile(profileId: string): Promise<void>;
  saveOvpnAuth(profileId: string, username: string, password: string): Promise<void>;
  readOvpnAuth(profileId: string): Promise<Credentials>;
  connectOvpn(profileId: string, configFileName: string, username: string, password: string): Promise<void>;
  disconnect(): Promise<void>;
  getStatus(): Promise<TunnelStatus>;
  measureTcpLatency(host: string, port: number): Promise<number>;
  getDeviceMarketingName(): Promise<string>;
  setKillSwitchEnabled(enabled: boolean): Promise<void>;
  setBlockIpv6Enabled(enabled: boolean): Promise<void>;
  pickApp(): Promise<PickedApp | null>;
  pickOvpnFile(): Promise<PickedFile | null>;
  terminateApps(names: string[]): Promise<string[]>;
  setMenuBarVisible(visible: boolean): Promise<void>;
  updateMenuBarMenu(menu: string): Promise<void>;
  activateApp(): Promise<void>;
  requestNotificationPermission(): Promise<void>;
  writeUserDefaults(key: string, value: string): Promise<void>;
  readUserDefaults(key: string): Promise<string>;
  buildConstants(): BuildConstants;
}
