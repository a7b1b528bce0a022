// How the desktop side reads the tray menu description: a byte scan, not a JSON parser. Restated
// here from its rules so that tests can check that what the interface sends scans back as meant.

export function extractJsonString(text: string, key: string): string {
  const needle = `"${key}":"`;
  const at = text.indexOf(needle);
  if (at < 0) return "";
  const start = at + needle.length;
  if (start >= text.length) return "";
  const end = text.indexOf('"', start);
  return end < 0 ? "" : text.slice(start, end);
}

export interface ScannedMenu {
  connected: boolean;
  serverLabel: string;
  dedicated: { id: string; label: string }[];
}

export function scanMenu(text: string): ScannedMenu {
  const menu: ScannedMenu = {
    connected: text.includes('"connected":true'),
    serverLabel: extractJsonString(text, "serverLabel"),
    dedicated: [],
  };
  if (text.length < 11) return menu;
  const key = text.indexOf('"dedicated"');
  if (key < 0) return menu;
  const open = text.indexOf("[", key);
  if (open < 0) return menu;
  const close = text.indexOf("]", open);
  if (close < 0) return menu;
  const array = text.slice(open, close + 1);
  let position = 0;
  while (position < array.length) {
    const begin = array.indexOf("{", position);
    if (begin < 0) break;
    const end = array.indexOf("}", begin);
    if (end < 0) break;
    const object = array.slice(begin, end + 1);
    const id = extractJsonString(object, "id");
    const label = extractJsonString(object, "label");
    if (id !== "") menu.dedicated.push({ id, label: label || id });
    position = end + 1;
  }
  return menu;
}
