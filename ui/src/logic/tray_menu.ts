// The description of the notification-area menu sent with updateMenuBarMenu. The desktop side
// reads it with a byte scanner, not a JSON parser: a value ends at the first double quote, an
// entry at the first "}", the server list at the first "]", and escapes are not decoded. So every
// text is written so that plain JSON.stringify output scans back to the same values.

export interface TrayServer {
  id: string;
  label: string;
}

export interface TrayMenu {
  connected: boolean;
  serverLabel: string;
  servers: readonly TrayServer[];
}

const loneSurrogate = /[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g;
const hasLoneSurrogate = new RegExp(loneSurrogate.source);
const closers: Record<string, string> = { '"': "'", "\\": "/", "[": "(", "]": ")", "{": "(", "}": ")" };

// Readable look-alikes for the characters the scanner would stop at or show escaped.
export function scannableLabel(label: string): string {
  return label
    .replace(loneSurrogate, "\ufffd")
    .replace(/[\u0000-\u001f]+/g, " ")
    .replace(/["\\[\]{}]/g, (c) => closers[c] ?? c)
    .trim();
}

// An id has to come back unchanged in the menu's event, so one the scanner cannot carry is left out
// of the menu rather than altered.
export function scannableId(id: string): boolean {
  return id !== "" && !/["\\\]}\u0000-\u001f]/.test(id) && !hasLoneSurrogate.test(id);
}

export function trayMenuText(menu: TrayMenu): string {
  return JSON.stringify({
    connected: menu.connected,
    serverLabel: scannableLabel(menu.serverLabel),
    dedicated: menu.servers
      .filter((server) => scannableId(server.id))
      .map((server) => ({ id: server.id, label: scannableLabel(server.label) })),
  });
}
