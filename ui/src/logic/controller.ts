// The application: its state and everything it asks of the desktop side. Components read the state
// and call these methods; nothing here knows about React, so the whole flow runs in unit tests.
import type { BuildConstants, TunnelApi } from "../native/types";
import { type Clock, Store, type View } from "./app_state";
import { messageOf } from "./errors";
import { ProfileActions } from "./profile_actions";
import type { Profile } from "./profiles";
import { reduceSession, type SessionEvent, sessionView } from "./session";
import { SettingsActions } from "./settings_actions";
import { withSample } from "./rate_history";
import { trayMenuText } from "./tray_menu";

// About once a second while the window is shown; slower while it is hidden, so that a drop is still
// noticed (and the listed apps closed) and the tray menu stays true.
export const shownPollMs = 1000;
export const hiddenPollMs = 5000;

const ignore = (): void => undefined;

export class AppController extends Store {
  readonly settings: SettingsActions;
  readonly profiles: ProfileActions;
  private pollTimer: unknown = undefined;
  private polling = false;
  private stopped = false;
  private sentMenu = "";

  constructor(
    readonly api: TunnelApi,
    private readonly clock: Clock,
  ) {
    super();
    this.settings = new SettingsActions(this, api);
    this.profiles = new ProfileActions(this, api, clock, this.settings);
  }

  async start(): Promise<void> {
    await this.settings.restore();
    this.api.requestNotificationPermission().catch(ignore);
    this.set({ started: true });
    await Promise.all([this.profiles.load(), this.checkHelper(), this.refreshStatus()]);
    this.schedulePoll();
    void this.profiles.measureAll();
  }

  stop(): void {
    this.stopped = true;
    this.clock.clearTimeout(this.pollTimer);
  }

  setVisible(visible: boolean): void {
    this.set({ visible });
    // Shown again: the status at once, and the list, which another instance or `varnel call` may
    // have changed while the window was away.
    if (visible) {
      void this.refreshStatus();
      void this.profiles.load().then(() => this.profiles.measureAll(true));
    }
    this.schedulePoll();
  }

  showView(view: View): void {
    this.set({ view });
    if (view === "about") void this.loadAbout();
  }

  dismissNotice(): void {
    this.set({ notice: null, closedApps: null });
  }

  // ---- status ---------------------------------------------------------------------------------

  private schedulePoll(): void {
    this.clock.clearTimeout(this.pollTimer);
    if (this.stopped) return;
    const interval = this.state.visible ? shownPollMs : hiddenPollMs;
    this.pollTimer = this.clock.setTimeout(() => void this.refreshStatus().then(() => this.schedulePoll()), interval);
  }

  async refreshStatus(): Promise<void> {
    if (this.polling) return;
    this.polling = true;
    const epoch = this.state.session.epoch;
    try {
      const status = await this.api.getStatus();
      this.dispatch({ type: "status", status, epoch, now: this.clock.now() });
    } catch (error) {
      this.dispatch({ type: "statusFailed", message: messageOf(error), epoch });
    } finally {
      this.polling = false;
    }
  }

  private dispatch(event: SessionEvent): void {
    const before = this.state.session;
    const { state: session, effects } = reduceSession(before, event);
    let history = this.state.history;
    if (event.type === "status" && event.epoch === before.epoch) {
      const { state, downBps, upBps } = session.status;
      history = state === "connected" ? withSample(history, { down: downBps, up: upBps }) : [];
    }
    this.set({ session, history });
    for (const effect of effects) void this.closeAppsAfterDrop(effect.profileId);
  }

  // The session reducer decides which ends are drops: a session the user wanted, that was up and
  // went down without the user ending it.
  private async closeAppsAfterDrop(profileId: string): Promise<void> {
    const names = this.state.settings.appsToClose.map((app) => app.bundleId);
    if (names.length === 0) return;
    const closed = await this.attempt(() => this.api.terminateApps(names));
    if (closed !== null) this.set({ closedApps: { profileId, names: closed.value } });
  }

  // ---- connect and disconnect -----------------------------------------------------------------

  async connect(profileId: string, fromTray = false): Promise<void> {
    const profile = this.profile(profileId);
    if (profile === undefined) {
      this.note("error", "That profile is no longer in the list.");
      return;
    }
    if (this.state.session.pending !== "none") return;
    this.set({ selectedId: profile.id, view: "main", notice: null, closedApps: null });
    if (profile.needsCredentials !== false && !(await this.hasSavedCredentials(profile.id))) {
      this.set({
        credentials: { profileId: profile.id, purpose: "connect", username: "", password: "", message: "", busy: false },
      });
      // Asked from the tray while the window may be hidden: bring it forward to show the form.
      if (fromTray) this.api.activateApp().catch(ignore);
      return;
    }
    // Saved credentials stay where they are: with an empty user name the desktop side uses them.
    await this.startConnect(profile, "", "");
  }

  private async hasSavedCredentials(profileId: string): Promise<boolean> {
    try {
      return (await this.api.readOvpnAuth(profileId)).username !== "";
    } catch {
      return false;
    }
  }

  private async startConnect(profile: Profile, username: string, password: string): Promise<void> {
    this.dispatch({ type: "connectStarted", profileId: profile.id });
    const epoch = this.state.session.epoch;
    this.settings.remember("lastProfileId", profile.id).catch(ignore);
    try {
      await this.api.connectOvpn(profile.id, profile.fileName, username, password);
      // A disconnect asked for meanwhile has taken over; its outcome stands.
      if (this.state.session.epoch === epoch) this.dispatch({ type: "connectSucceeded" });
    } catch (error) {
      if (this.state.session.epoch === epoch) this.dispatch({ type: "connectFailed", message: messageOf(error) });
    }
    await this.refreshStatus();
  }

  async disconnect(): Promise<void> {
    if (this.state.session.pending === "disconnect") return;
    this.dispatch({ type: "disconnectStarted" });
    try {
      await this.api.disconnect();
      this.dispatch({ type: "disconnectFinished" });
    } catch (error) {
      this.dispatch({ type: "disconnectFailed", message: messageOf(error) });
    }
    await this.refreshStatus();
  }

  // The profile last connected, else the one that answered fastest, else the first in the list.
  quickConnectProfile(): Profile | undefined {
    const { profiles, latency, settings } = this.state;
    const last = profiles.find((p) => p.id === settings.lastProfileId);
    if (last !== undefined) return last;
    let fastest: { profile: Profile; ms: number } | undefined;
    for (const profile of profiles) {
      const reading = latency[profile.id];
      if (reading?.kind === "ms" && (fastest === undefined || reading.ms < fastest.ms)) fastest = { profile, ms: reading.ms };
    }
    return fastest?.profile ?? profiles[0];
  }

  handleMenuBarAction(payload: unknown): void {
    const fields = payload !== null && typeof payload === "object" ? (payload as Record<string, unknown>) : {};
    switch (fields.action) {
      case "quickConnect": {
        const profile = this.quickConnectProfile();
        if (profile !== undefined) void this.connect(profile.id, true);
        else {
          this.note("info", "Import an OpenVPN profile to connect.");
          this.api.activateApp().catch(ignore);
        }
        return;
      }
      case "connectDedicated":
        if (typeof fields.serverId === "string") void this.connect(fields.serverId, true);
        return;
      case "disconnect":
        void this.disconnect();
        return;
      case "openApp":
        this.set({ view: "main" });
        return;
    }
  }

  protected override changed(): void {
    if (!this.state.started) return;
    const view = sessionView(this.state.session);
    const current = view.word !== "disconnected" ? this.profile(view.profileId) : undefined;
    const text = trayMenuText({
      connected: this.state.session.status.state === "connected",
      serverLabel: current?.name ?? "",
      servers: this.state.profiles.map((p) => ({ id: p.id, label: p.name })),
    });
    if (text === this.sentMenu) return;
    this.sentMenu = text;
    this.api.updateMenuBarMenu(text).catch(ignore);
  }

  // ---- credentials ----------------------------------------------------------------------------

  async editCredentials(profileId: string): Promise<void> {
    let saved = { username: "", password: "" };
    try {
      saved = await this.api.readOvpnAuth(profileId);
    } catch {
      // None saved yet: the form starts empty.
    }
    this.set({ credentials: { profileId, purpose: "edit", ...saved, message: "", busy: false } });
  }

  cancelCredentials(): void {
    this.set({ credentials: null });
  }

  async submitCredentials(username: string, password: string): Promise<void> {
    const request = this.state.credentials;
    if (request === null || request.busy) return;
    const typed = { ...request, username, password };
    if (username.trim() === "") {
      this.set({ credentials: { ...typed, message: "Enter the user name for this profile." } });
      return;
    }
    this.set({ credentials: { ...typed, message: "", busy: true } });
    try {
      await this.api.saveOvpnAuth(request.profileId, username, password);
    } catch (error) {
      this.set({ credentials: { ...typed, message: messageOf(error), busy: false } });
      return;
    }
    this.set({ credentials: null });
    const profile = this.profile(request.profileId);
    if (request.purpose === "edit") this.note("info", "Credentials saved.");
    // Handed to the connect as well, so the session starts with them even if the save left no file.
    else if (profile !== undefined) await this.startConnect(profile, username, password);
  }

  // ---- helper and about -----------------------------------------------------------------------

  async checkHelper(): Promise<void> {
    const found = { checked: true, installed: true, notice: "" };
    try {
      await this.api.pingHelper();
      this.set({ helper: found });
    } catch (error) {
      const install = await this.api.installHelper().catch(() => ({ installed: false, hint: "" }));
      if (install.installed) {
        this.set({ helper: found });
        return;
      }
      const notice = install.hint || messageOf(error);
      this.set({ helper: { checked: true, installed: false, notice } });
    }
  }

  async loadAbout(): Promise<void> {
    const [deviceName, helper] = await Promise.all([
      this.api.getDeviceMarketingName().catch(() => ""),
      this.api.getHelperInfo().catch(() => null),
    ]);
    let constants: BuildConstants | null = null;
    try {
      constants = this.api.buildConstants();
    } catch {
      constants = null;
    }
    this.set({ about: { deviceName, constants, helper } });
  }
}
