// The desktop side is input like any other: every answer is read field by field, and a field that
// is missing or of another type reads as its empty value instead of breaking the interface.
import type {
  BuildConstants,
  Credentials,
  HelperInfo,
  HelperInstall,
  PickedApp,
  PickedFile,
  StatusWord,
  TunnelStatus,
} from "./types";

type Fields = Record<string, unknown>;

function fields(value: unknown): Fields {
  return value !== null && typeof value === "object" && !Array.isArray(value) ? (value as Fields) : {};
}

function text(value: unknown): string {
  return typeof value === "string" ? value : "";
}

function count(value: unknown): number {
  return typeof value === "number" && Number.isFinite(value) && value > 0 ? value : 0;
}

const statusWords: readonly StatusWord[] = ["disconnected", "connecting", "connected"];

export function readStatus(value: unknown): TunnelStatus {
  const f = fields(value);
  const state = statusWords.find((word) => word === f.state) ?? "disconnected";
  return {
    state,
    message: text(f.message),
    profileId: text(f.profileId),
    pid: Math.trunc(count(f.pid)),
    downBps: count(f.downBps),
    upBps: count(f.upBps),
  };
}

// A cancelled dialog answers an empty object; only a named file counts as a choice.
export function readPickedFile(value: unknown): PickedFile | null {
  const f = fields(value);
  if (typeof f.fileName !== "string") return null;
  return { fileName: f.fileName, content: text(f.content), sourceDirectory: text(f.sourceDirectory) };
}

export function readPickedApp(value: unknown): PickedApp | null {
  const f = fields(value);
  if (typeof f.bundleId !== "string" || f.bundleId === "") return null;
  return { bundleId: f.bundleId, name: text(f.name) || f.bundleId, path: text(f.path) };
}

export function readHelperInstall(value: unknown): HelperInstall {
  const f = fields(value);
  return { installed: f.installed === true, hint: text(f.hint) };
}

export function readHelperInfo(value: unknown): HelperInfo {
  const f = fields(value);
  return {
    executable: text(f.plist),
    profilesDir: text(f.profilesDir),
    installed: f.installed === true,
    reachable: f.reachable === true,
  };
}

export function readCredentials(value: unknown): Credentials {
  const f = fields(value);
  return { username: text(f.username), password: text(f.password) };
}

export function readProfileListing(value: unknown): string[] {
  if (!Array.isArray(value)) return [];
  return value.map((item) => text(fields(item)._raw));
}

export function readTerminated(value: unknown): string[] {
  const list = fields(value).terminated;
  return Array.isArray(list) ? list.filter((name): name is string => typeof name === "string") : [];
}

export function readLatency(value: unknown): number {
  return Math.trunc(count(value));
}

export function readBuildConstants(value: unknown): BuildConstants {
  const f = fields(value);
  return { apiBaseUrl: text(f.apiBaseUrl), includeVpnAuthDeviceMetadata: f.includeVpnAuthDeviceMetadata === true };
}
