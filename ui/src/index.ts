// Entry point of the interface bundle.
import { AppRegistry } from "react-native";
import { App } from "./App";

AppRegistry.registerComponent("VarnelMac", () => App);

// The desktop host starts the application itself, through the registry we hand it.
const host = (globalThis as { __varnelHost?: { registerAppRegistry?: (registry: typeof AppRegistry) => void } }).__varnelHost;
if (typeof host?.registerAppRegistry === "function") host.registerAppRegistry(AppRegistry);
