// Changing and keeping the user's settings. A setting the desktop side applies is handed to it first
// and written to the user defaults only once it took; a failure puts the old value back on screen.
import type { TunnelApi } from "../native/types";
import type { Store } from "./app_state";
import { messageOf } from "./errors";
import { readSettings, type Settings, settingKeys, type StoredSettings, storedValue, withApp, withoutApp } from "./settings";

export class SettingsActions {
  constructor(
    private readonly store: Store,
    private readonly api: TunnelApi,
  ) {}

  // The kill switch, IPv6 blocking and the icon live in the desktop side's memory only, so every
  // start hands them over again.
  async restore(): Promise<void> {
    const keys = Object.keys(settingKeys) as (keyof Settings)[];
    const values = await Promise.all(keys.map((key) => this.api.readUserDefaults(settingKeys[key]).catch(() => "")));
    const settings = readSettings(Object.fromEntries(keys.map((key, i) => [key, values[i] ?? ""])) as StoredSettings);
    this.store.set({ settings });
    await Promise.all([
      this.store.attempt(() => this.api.setKillSwitchEnabled(settings.killSwitch)),
      this.store.attempt(() => this.api.setBlockIpv6Enabled(settings.blockIpv6)),
      this.store.attempt(() => this.api.setMenuBarVisible(settings.menuBarVisible)),
    ]);
  }

  remember<K extends keyof Settings>(key: K, value: Settings[K]): Promise<void> {
    this.store.set({ settings: { ...this.store.state.settings, [key]: value } });
    return this.api.writeUserDefaults(settingKeys[key], storedValue(value));
  }

  private async change<K extends keyof Settings>(
    key: K,
    value: Settings[K],
    apply?: (value: Settings[K]) => Promise<void>,
  ): Promise<void> {
    const previous = this.store.state.settings[key];
    try {
      await apply?.(value);
      await this.remember(key, value);
    } catch (error) {
      this.store.set({ settings: { ...this.store.state.settings, [key]: previous } });
      this.store.note("error", messageOf(error));
    }
  }

  setKillSwitch(enabled: boolean): Promise<void> {
    return this.change("killSwitch", enabled, (v) => this.api.setKillSwitchEnabled(v));
  }

  setBlockIpv6(enabled: boolean): Promise<void> {
    return this.change("blockIpv6", enabled, (v) => this.api.setBlockIpv6Enabled(v));
  }

  setMenuBarVisible(visible: boolean): Promise<void> {
    return this.change("menuBarVisible", visible, (v) => this.api.setMenuBarVisible(v));
  }

  async addAppToClose(): Promise<void> {
    const app = (await this.store.attempt(() => this.api.pickApp()))?.value;
    if (!app) return;
    await this.change("appsToClose", withApp(this.store.state.settings.appsToClose, app));
  }

  removeAppToClose(bundleId: string): Promise<void> {
    return this.change("appsToClose", withoutApp(this.store.state.settings.appsToClose, bundleId));
  }
}
