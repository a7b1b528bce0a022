// How numbers read on screen.

export interface Reading {
  value: string;
  unit: string;
}

const rateUnits = ["B/s", "kB/s", "MB/s", "GB/s"];

// The module's rates are bytes per second (despite the keys' "Bps").
export function rateReading(bytesPerSecond: number): Reading {
  let value = Number.isFinite(bytesPerSecond) && bytesPerSecond > 0 ? bytesPerSecond : 0;
  let unit = 0;
  while (value >= 1000 && unit < rateUnits.length - 1) {
    value /= 1000;
    unit += 1;
  }
  const digits = unit === 0 || value >= 100 ? 0 : 1;
  return { value: value.toFixed(digits), unit: rateUnits[unit] ?? "B/s" };
}

export function durationText(milliseconds: number): string {
  const total = Math.max(0, Math.floor(milliseconds / 1000));
  const hours = Math.floor(total / 3600);
  const minutes = Math.floor((total % 3600) / 60);
  const seconds = total % 60;
  const two = (n: number) => String(n).padStart(2, "0");
  return hours > 0 ? `${hours}:${two(minutes)}:${two(seconds)}` : `${minutes}:${two(seconds)}`;
}

export type Latency = { kind: "unknown" } | { kind: "measuring" } | { kind: "none" } | { kind: "ms"; ms: number };

export function latencyText(latency: Latency): string {
  switch (latency.kind) {
    case "unknown":
      return "";
    case "measuring":
      return "…";
    case "none":
      return "no reply";
    case "ms":
      return `${latency.ms} ms`;
  }
}
