// Profile metadata: the JSON text kept beside each configuration, which is all the listing returns.
// Its key names are shared with other tools: id, name, fileName, host, port, proto. Any of them may
// be missing, and keys we do not know are kept when we write the text again.
import type { OvpnSummary } from "./ovpn";

export interface Profile {
  id: string;
  name: string;
  fileName: string;
  host: string;
  port: number;
  proto: string;
  // null when the metadata does not say; such a profile is asked for credentials when none are saved.
  needsCredentials: boolean | null;
  // The metadata object as read, so that a rewrite keeps what other tools put there.
  meta: Record<string, unknown>;
}

function stringField(meta: Record<string, unknown>, key: string): string {
  const value = meta[key];
  if (typeof value === "string") return value.trim();
  if (typeof value === "number" && Number.isFinite(value)) return String(value);
  return "";
}

function portField(meta: Record<string, unknown>): number {
  const value = meta.port;
  const port = typeof value === "number" ? value : typeof value === "string" ? Number(value.trim()) : NaN;
  return Number.isInteger(port) && port >= 1 && port <= 65535 ? port : 0;
}

export function nameFromFileName(fileName: string): string {
  return fileName.replace(/\.ovpn$/i, "").trim();
}

export function readProfileMeta(raw: string): Profile | null {
  let meta: unknown;
  try {
    meta = JSON.parse(raw);
  } catch {
    return null;
  }
  if (meta === null || typeof meta !== "object" || Array.isArray(meta)) return null;
  const fields = meta as Record<string, unknown>;
  const id = stringField(fields, "id");
  if (id === "") return null;
  const fileName = stringField(fields, "fileName");
  const needs = fields.needsCredentials;
  return {
    id,
    name: stringField(fields, "name") || nameFromFileName(fileName) || id,
    fileName,
    host: stringField(fields, "host"),
    port: portField(fields),
    proto: stringField(fields, "proto"),
    needsCredentials: typeof needs === "boolean" ? needs : null,
    meta: fields,
  };
}

// The listing comes in the file system's order and may hold texts that are not ours or not JSON;
// those are skipped, and of two texts with one id the first is kept.
export function readProfileListing(raws: readonly string[]): Profile[] {
  const byId = new Map<string, Profile>();
  for (const raw of raws) {
    const profile = readProfileMeta(raw);
    if (profile !== null && !byId.has(profile.id)) byId.set(profile.id, profile);
  }
  return [...byId.values()].sort(
    (a, b) => a.name.localeCompare(b.name, undefined, { sensitivity: "base" }) || a.id.localeCompare(b.id),
  );
}

export function profileMetaJson(profile: Profile): string {
  const meta: Record<string, unknown> = {
    ...profile.meta,
    id: profile.id,
    name: profile.name,
    fileName: profile.fileName,
    host: profile.host,
    proto: profile.proto,
  };
  if (profile.port > 0) meta.port = profile.port;
  else delete meta.port;
  if (profile.needsCredentials !== null) meta.needsCredentials = profile.needsCredentials;
  return JSON.stringify(meta);
}

export function renamedProfile(profile: Profile, name: string): Profile {
  return { ...profile, name: name.trim() || profile.name };
}

// Ids become folder names on the desktop side: letters, digits and dashes only.
export function newProfileId(now: number, random: () => number): string {
  const suffix = Math.floor(random() * 36 ** 4)
    .toString(36)
    .padStart(4, "0");
  return `ovpn-${now.toString(36)}-${suffix}`;
}

// The configuration keeps the name it was imported with, reduced to one plain file name that every
// platform accepts (the desktop side refuses quotes, control characters and separators).
export function storedFileName(original: string): string {
  const base = original.split(/[\\/]/).pop() ?? "";
  const cleaned = base.replace(/[\u0000-\u001f\u007f"*:<>?|]/g, "_").trim();
  const name = /^\.*$/.test(cleaned) ? "profile" : cleaned;
  return /\.ovpn$/i.test(name) ? name : `${name}.ovpn`;
}

export function importedProfile(
  id: string,
  pickedFileName: string,
  summary: OvpnSummary,
  importedAt: string,
): Profile {
  const fileName = storedFileName(pickedFileName);
  return {
    id,
    name: nameFromFileName(fileName) || "Imported profile",
    fileName,
    host: summary.host,
    port: summary.port,
    proto: summary.proto,
    needsCredentials: summary.needsCredentials,
    meta: { importedAt },
  };
}

export function serverText(profile: Pick<Profile, "host" | "port" | "proto">): string {
  if (profile.host === "") return "Server not named in the profile";
  const details = [profile.proto.toUpperCase(), profile.port > 0 ? String(profile.port) : ""].filter(Boolean);
  return details.length > 0 ? `${profile.host} · ${details.join(" ")}` : profile.host;
}
