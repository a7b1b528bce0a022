// Turns the desktop host's page global into React Native's native-module shapes, so that the
// application reads NativeModules and listens with NativeEventEmitter exactly as it would on a
// React Native host. Kept free of react-native-web so it can be tested on its own.

export interface HostModuleDescription {
  methods: string[];
  constants: Record<string, unknown>;
}

export interface VarnelHost {
  modules: Record<string, HostModuleDescription>;
  call(module: string, method: string, args: unknown[]): Promise<unknown>;
  addEventListener(listener: (eventName: string, args: unknown[]) => void): () => void;
  registerAppRegistry(registry: { runApplication(name: string, params: object): void }): void;
}

export type NativeModule = Record<string, unknown>;

// React Native modules that send events carry these two; NativeEventEmitter calls them on native
// platforms to count listeners. The host delivers events whether anyone listens or not.
const listenerBookkeeping = {
  addListener(_eventName: string): void {},
  removeListeners(_count: number): void {},
};

export function nativeModuleFor(host: VarnelHost, moduleName: string): NativeModule {
  const description = host.modules[moduleName];
  const constants = { ...(description?.constants ?? {}) };
  const module: NativeModule = { ...constants, ...listenerBookkeeping };
  for (const method of description?.methods ?? []) {
    module[method] = (...args: unknown[]) => host.call(moduleName, method, args);
  }
  // React Native hands a module's constants out synchronously; the host gave them to us up front.
  module.getConstants = () => ({ ...constants });
  return module;
}

export function fillNativeModules(host: VarnelHost, target: Record<string, unknown>): void {
  for (const name of Object.keys(host.modules)) {
    target[name] = nativeModuleFor(host, name);
  }
}

// Host events arrive as (name, args); a React Native host emits them on the device event emitter
// with the arguments spread, which is where NativeEventEmitter listens.
export function routeHostEvents(
  host: VarnelHost,
  emit: (eventName: string, ...args: unknown[]) => void,
): () => void {
  return host.addEventListener((eventName, args) => {
    emit(eventName, ...(Array.isArray(args) ? args : []));
  });
}

export function findHost(scope: object): VarnelHost | undefined {
  const candidate = (scope as { __varnelHost?: unknown }).__varnelHost;
  if (candidate === null || typeof candidate !== "object") return undefined;
  const host = candidate as Partial<VarnelHost>;
  if (typeof host.call !== "function" || typeof host.addEventListener !== "function") return undefined;
  if (host.modules === null || typeof host.modules !== "object") return undefined;
  return host as VarnelHost;
}

// A React Native root view fills its window. The host's root element is a plain block with the
// window's height, so its one child (the application's container, flex 1) is laid out in a
// column that stretches it to that height.
export function stretchRootTag(rootTag: unknown): void {
  const style = (rootTag as { style?: Record<string, string> } | null)?.style;
  if (style === undefined || style === null) return;
  style.display = "flex";
  style.flexDirection = "column";
}
