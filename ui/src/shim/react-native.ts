// What the application imports as "react-native": react-native-web, with the desktop host's two
// native modules and its events wired in the way a React Native host provides them.
import { DeviceEventEmitter, NativeModules, AppRegistry as WebAppRegistry } from "react-native-web";
import { fillNativeModules, findHost, routeHostEvents, stretchRootTag } from "./host_bridge";

export * from "react-native-web";

const host = findHost(globalThis);
if (host !== undefined) {
  fillNativeModules(host, NativeModules);
  routeHostEvents(host, (eventName, ...args) => DeviceEventEmitter.emit(eventName, ...args));
}

export const AppRegistry: typeof WebAppRegistry = {
  registerComponent: (appKey, provider) => WebAppRegistry.registerComponent(appKey, provider),
  runApplication(appKey, params) {
    stretchRootTag(params.rootTag);
    WebAppRegistry.runApplication(appKey, params);
  },
};
