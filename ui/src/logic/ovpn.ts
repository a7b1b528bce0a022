// Reads what the list shows about a server from an OpenVPN configuration. The remote and proto
// lines are read the way the desktop side reads them for the kill switch (last line wins, the port
// a leading integer), so the list names the same server that the kill switch lets through.

export interface OvpnSummary {
  host: string;
  port: number;
  proto: string;
  needsCredentials: boolean;
}

const whitespace = /[ \t\r\v\f]+/;

function leadingInteger(token: string): number {
  const match = /^[+-]?\d+/.exec(token);
  return match ? Number.parseInt(match[0], 10) : 0;
}

export function readOvpnSummary(content: string): OvpnSummary {
  const summary: OvpnSummary = { host: "", port: 0, proto: "", needsCredentials: false };
  for (const line of content.split("\n")) {
    const [directive, first, second] = line.split(whitespace).filter((token) => token !== "");
    if (directive === "remote") {
      if (first !== undefined) summary.host = first;
      if (second !== undefined) summary.port = leadingInteger(second);
    } else if (directive === "proto") {
      if (first !== undefined) summary.proto = first;
    } else if (directive === "auth-user-pass") {
      summary.needsCredentials = true;
    }
  }
  if (summary.port < 1 || summary.port > 65535) summary.port = 0;
  return summary;
}
