// The profile list: loading, importing, renaming, deleting and measuring each server's latency.
import type { TunnelApi } from "../native/types";
import type { Clock, Store } from "./app_state";
import type { Latency } from "./format";
import { readOvpnSummary } from "./ovpn";
import { importedProfile, newProfileId, profileMetaJson, readProfileListing, renamedProfile } from "./profiles";
import { sessionView } from "./session";
import type { SettingsActions } from "./settings_actions";

const latencyBatch = 4;
const ignore = (): void => undefined;

export class ProfileActions {
  constructor(
    private readonly store: Store,
    private readonly api: TunnelApi,
    private readonly clock: Clock,
    private readonly settings: SettingsActions,
  ) {}

  async load(): Promise<void> {
    const listed = await this.store.attempt(() => this.api.listSavedOvpnProfiles());
    if (listed === null) return;
    const profiles = readProfileListing(listed.value);
    const ids = new Set(profiles.map((p) => p.id));
    const { selectedId, settings, latency } = this.store.state;
    const kept = [selectedId, settings.lastProfileId].find((id) => ids.has(id));
    this.store.set({
      profiles,
      selectedId: kept ?? profiles[0]?.id ?? "",
      latency: Object.fromEntries(Object.entries(latency).filter(([id]) => ids.has(id))),
    });
  }

  select(profileId: string): void {
    this.store.set({ selectedId: profileId });
  }

  async importProfile(): Promise<void> {
    // A cancelled dialog answers null, a failed request nothing: either way there is nothing to save.
    const picked = (await this.store.attempt(() => this.api.pickOvpnFile()))?.value;
    if (!picked) return;
    if (picked.content.trim() === "") {
      this.store.note("error", `"${picked.fileName}" is empty or could not be read.`);
      return;
    }
    const now = this.clock.now();
    const id = newProfileId(now, () => this.clock.random());
    const profile = importedProfile(id, picked.fileName, readOvpnSummary(picked.content), new Date(now).toISOString());
    const saved = await this.store.attempt(async () => {
      await this.api.saveOvpnProfile(id, picked.content, profile.fileName);
      await this.api.saveOvpnProfileMeta(id, profileMetaJson(profile));
    });
    if (saved === null) {
      // A folder without metadata is never listed; remove what the first call left behind.
      this.api.deleteOvpnProfile(id).catch(ignore);
      return;
    }
    await this.load();
    this.store.set({ selectedId: id, view: "main" });
    this.store.note("info", `Imported "${profile.name}".`);
    void this.measureLatency(id);
  }

  async rename(profileId: string, name: string): Promise<boolean> {
    const profile = this.store.profile(profileId);
    if (profile === undefined) return false;
    if (name.trim() === "") {
      this.store.note("error", "A profile needs a name.");
      return false;
    }
    const meta = profileMetaJson(renamedProfile(profile, name));
    if ((await this.store.attempt(() => this.api.saveOvpnProfileMeta(profileId, meta))) === null) return false;
    await this.load();
    return true;
  }

  async remove(profileId: string): Promise<void> {
    const view = sessionView(this.store.state.session);
    if (view.active && view.profileId === profileId) {
      this.store.note("error", "Disconnect before deleting this profile.");
      return;
    }
    const name = this.store.profile(profileId)?.name ?? profileId;
    if ((await this.store.attempt(() => this.api.deleteOvpnProfile(profileId))) === null) return;
    if (this.store.state.settings.lastProfileId === profileId) this.settings.remember("lastProfileId", "").catch(ignore);
    await this.load();
    this.store.note("info", `Deleted "${name}".`);
  }

  private setLatency(profileId: string, latency: Latency): void {
    this.store.set({ latency: { ...this.store.state.latency, [profileId]: latency } });
  }

  async measureLatency(profileId: string): Promise<void> {
    const profile = this.store.profile(profileId);
    if (profile === undefined || profile.host === "") return;
    this.setLatency(profileId, { kind: "measuring" });
    const ms = await this.api.measureTcpLatency(profile.host, profile.port).catch(() => 0);
    this.setLatency(profileId, ms > 0 ? { kind: "ms", ms } : { kind: "none" });
  }

  // Each measurement is a thread on the desktop side, so a long list is measured a few at a time.
  // onlyUnmeasured leaves out the profiles that already have a reading or are being measured.
  async measureAll(onlyUnmeasured = false): Promise<void> {
    const { profiles, latency } = this.store.state;
    const ids = profiles.filter((p) => !onlyUnmeasured || latency[p.id] === undefined).map((p) => p.id);
    for (let i = 0; i < ids.length; i += latencyBatch) {
      await Promise.all(ids.slice(i, i + latencyBatch).map((id) => this.measureLatency(id)));
    }
  }
}
