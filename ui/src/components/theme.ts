// Colours for the light and dark schemes; the window follows the system's choice.
import { createContext, useContext } from "react";
import type { StatusWord } from "../native/types";

export interface Palette {
  scheme: "light" | "dark";
  background: string;
  sidebar: string;
  card: string;
  raised: string;
  border: string;
  text: string;
  muted: string;
  accent: string;
  accentText: string;
  accentSoft: string;
  danger: string;
  dangerText: string;
  dangerSoft: string;
  focus: string;
  overlay: string;
  status: Record<StatusWord, string>;
  down: string;
  up: string;
}

export const lightPalette: Palette = {
  scheme: "light",
  background: "#f3f5f7",
  sidebar: "#fbfcfd",
  card: "#ffffff",
  raised: "#eef1f4",
  border: "#dde2e8",
  text: "#18212b",
  muted: "#5d6876",
  accent: "#2b62c9",
  accentText: "#ffffff",
  accentSoft: "#e3ecfb",
  danger: "#b42318",
  dangerText: "#ffffff",
  dangerSoft: "#fdecea",
  focus: "#7aa7f0",
  overlay: "rgba(16, 22, 30, 0.38)",
  status: { disconnected: "#6b7684", connecting: "#b26b00", connected: "#1b7f4c" },
  down: "#2b62c9",
  up: "#1b9aa0",
};

export const darkPalette: Palette = {
  scheme: "dark",
  background: "#111418",
  sidebar: "#15191e",
  card: "#1b2027",
  raised: "#232a33",
  border: "#2c343e",
  text: "#e5e9ee",
  muted: "#98a3b1",
  accent: "#6a9cf0",
  accentText: "#0d1420",
  accentSoft: "#1f2b40",
  danger: "#f0837a",
  dangerText: "#1b0f0e",
  dangerSoft: "#3a1f1d",
  focus: "#8fb6f5",
  overlay: "rgba(0, 0, 0, 0.55)",
  status: { disconnected: "#8d98a6", connecting: "#e0a545", connected: "#4cc38a" },
  down: "#6a9cf0",
  up: "#4dc2c7",
};

export const ThemeContext = createContext<Palette>(lightPalette);

export function useTheme(): Palette {
  return useContext(ThemeContext);
}
