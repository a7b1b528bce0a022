// The window: profiles on the left, the chosen view on the right, the credentials form over both.
import { useEffect, useMemo, useSyncExternalStore } from "react";
import { AppState as WindowState, NativeEventEmitter, NativeModules, Pressable, ScrollView, Text, useColorScheme, View } from "react-native";
import { AboutView } from "./components/AboutView";
import { ConnectionCard } from "./components/ConnectionCard";
import { CredentialsPanel } from "./components/CredentialsPanel";
import { HelperNotice, NoticeBar } from "./components/Notices";
import { ProfileCard } from "./components/ProfileCard";
import { SettingsView } from "./components/SettingsView";
import { Sidebar } from "./components/Sidebar";
import { darkPalette, lightPalette, ThemeContext, useTheme } from "./components/theme";
import { focusRing } from "./components/ui";
import type { AppState, View as ViewName } from "./logic/app_state";
import { AppController } from "./logic/controller";
import { hasNativeTunnel, nativeTunnel } from "./native/tunnel";

const systemClock = {
  now: () => Date.now(),
  random: () => Math.random(),
  setTimeout: (callback: () => void, ms: number) => setTimeout(callback, ms),
  clearTimeout: (handle: unknown) => clearTimeout(handle as ReturnType<typeof setTimeout>),
};

const tabs: { view: ViewName; label: string; testID: string }[] = [
  { view: "main", label: "Connection", testID: "nav-main" },
  { view: "settings", label: "Settings", testID: "nav-settings" },
  { view: "about", label: "About", testID: "nav-about" },
];

function Tabs(props: { current: ViewName; onSelect: (view: ViewName) => void }) {
  const palette = useTheme();
  return (
    <View role="tablist" style={{ flexDirection: "row", gap: 4, borderBottomWidth: 1, borderBottomColor: palette.border }}>
      {tabs.map((tab) => {
        const selected = tab.view === props.current;
        return (
          <Pressable
            key={tab.view}
            role="tab"
            testID={tab.testID}
            aria-selected={selected}
            onPress={() => props.onSelect(tab.view)}
            style={({ hovered, focused }) => [
              {
                paddingHorizontal: 14,
                paddingVertical: 10,
                borderBottomWidth: 2,
                borderBottomColor: selected ? palette.accent : "transparent",
                backgroundColor: hovered && !selected ? palette.raised : "transparent",
                borderTopLeftRadius: 6,
                borderTopRightRadius: 6,
              },
              focusRing(palette, focused),
            ]}
          >
            <Text style={{ color: selected ? palette.text : palette.muted, fontSize: 14, fontWeight: selected ? "600" : "500" }}>
              {tab.label}
            </Text>
          </Pressable>
        );
      })}
    </View>
  );
}

function MainPanel(props: { controller: AppController; state: AppState }) {
  const { controller, state } = props;
  return (
    <View style={{ flex: 1, minWidth: 0 }}>
      <View style={{ paddingHorizontal: 28, paddingTop: 16 }}>
        <Tabs current={state.view} onSelect={(view) => controller.showView(view)} />
      </View>
      <ScrollView style={{ flex: 1 }} contentContainerStyle={{ padding: 28, gap: 16, maxWidth: 920 }}>
        <HelperNotice helper={state.helper} onRetry={() => void controller.checkHelper()} />
        <NoticeBar notice={state.notice} onDismiss={() => controller.dismissNotice()} />
        {state.view === "main" ? (
          <>
            <ConnectionCard controller={controller} state={state} />
            <ProfileCard controller={controller} state={state} />
          </>
        ) : null}
        {state.view === "settings" ? <SettingsView controller={controller} state={state} /> : null}
        {state.view === "about" ? <AboutView controller={controller} state={state} /> : null}
      </ScrollView>
    </View>
  );
}

function useController(): AppController {
  const controller = useMemo(() => new AppController(nativeTunnel, systemClock), []);
  useEffect(() => {
    const events = new NativeEventEmitter(NativeModules.VarnelTunnel);
    const subscriptions = [
      events.addListener("menuBarAction", (payload: unknown) => controller.handleMenuBarAction(payload)),
      events.addListener("appWindowDidShow", () => controller.setVisible(true)),
      WindowState.addEventListener("change", (state) => controller.setVisible(state === "active")),
    ];
    void controller.start();
    return () => {
      for (const subscription of subscriptions) subscription?.remove();
      controller.stop();
    };
  }, [controller]);
  return controller;
}

function Unavailable() {
  const palette = useTheme();
  return (
    <View style={{ flex: 1, alignItems: "center", justifyContent: "center", backgroundColor: palette.background }}>
      <Text style={{ color: palette.text, fontSize: 15 }}>The Varnel desktop service is not available in this window.</Text>
    </View>
  );
}

function Window() {
  const palette = useTheme();
  const controller = useController();
  const state = useSyncExternalStore(controller.subscribe, controller.getState);
  return (
    <View style={{ flex: 1, flexDirection: "row", backgroundColor: palette.background, minWidth: 0 }}>
      <Sidebar controller={controller} state={state} />
      <MainPanel controller={controller} state={state} />
      {state.credentials ? (
        <CredentialsPanel key={state.credentials.profileId + state.credentials.purpose} controller={controller} request={state.credentials} />
      ) : null}
    </View>
  );
}

export function App() {
  const scheme = useColorScheme();
  const palette = scheme === "dark" ? darkPalette : lightPalette;
  return (
    <ThemeContext.Provider value={palette}>
      <View style={{ flex: 1, height: "100%" }}>{hasNativeTunnel() ? <Window /> : <Unavailable />}</View>
    </ThemeContext.Provider>
  );
}
