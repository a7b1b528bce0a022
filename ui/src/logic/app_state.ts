// The application's state record and the small store around it that components subscribe to.
import type { BuildConstants, HelperInfo } from "../native/types";
import { messageOf } from "./errors";
import type { Latency } from "./format";
import type { Profile } from "./profiles";
import type { RateSample } from "./rate_history";
import { initialSession, type SessionState } from "./session";
import { defaultSettings, type Settings } from "./settings";

export type View = "main" | "settings" | "about";

export interface Notice {
  tone: "info" | "error";
  text: string;
}

export interface CredentialsRequest {
  profileId: string;
  purpose: "connect" | "edit";
  username: string;
  password: string;
  message: string;
  busy: boolean;
}

export interface HelperState {
  checked: boolean;
  installed: boolean;
  notice: string;
}

export interface AboutState {
  deviceName: string;
  constants: BuildConstants | null;
  helper: HelperInfo | null;
}

export interface ClosedApps {
  profileId: string;
  names: string[];
}

export interface AppState {
  started: boolean;
  visible: boolean;
  view: View;
  session: SessionState;
  history: RateSample[];
  profiles: Profile[];
  selectedId: string;
  latency: Record<string, Latency>;
  settings: Settings;
  helper: HelperState;
  credentials: CredentialsRequest | null;
  notice: Notice | null;
  closedApps: ClosedApps | null;
  about: AboutState;
}

export interface Clock {
  now(): number;
  random(): number;
  setTimeout(callback: () => void, milliseconds: number): unknown;
  clearTimeout(handle: unknown): void;
}

export function initialAppState(): AppState {
  return {
    started: false,
    visible: true,
    view: "main",
    session: initialSession,
    history: [],
    profiles: [],
    selectedId: "",
    latency: {},
    settings: defaultSettings,
    helper: { checked: false, installed: true, notice: "" },
    credentials: null,
    notice: null,
    closedApps: null,
    about: { deviceName: "", constants: null, helper: null },
  };
}

export class Store {
  private current = initialAppState();
  private readonly listeners = new Set<() => void>();

  readonly getState = (): AppState => this.current;

  readonly subscribe = (listener: () => void): (() => void) => {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  };

  get state(): AppState {
    return this.current;
  }

  set(changes: Partial<AppState>): void {
    this.current = { ...this.current, ...changes };
    for (const listener of this.listeners) listener();
    this.changed();
  }

  // Called after every change, once the listeners have run.
  protected changed(): void {}

  profile(id: string): Profile | undefined {
    return this.current.profiles.find((p) => p.id === id);
  }

  note(tone: Notice["tone"], text: string): void {
    this.set({ notice: { tone, text } });
  }

  // Makes one request; a rejection is shown as its sentence and answers null.
  async attempt<T>(request: () => Promise<T>): Promise<{ value: T } | null> {
    try {
      return { value: await request() };
    } catch (error) {
      this.note("error", messageOf(error));
      return null;
    }
  }
}
