// Network protection, the notification-area icon, and the apps to close when the VPN drops.
import { Text, View } from "react-native";
import type { AppState } from "../logic/app_state";
import type { Settings } from "../logic/settings";
import type { AppController } from "../logic/controller";
import { useTheme } from "./theme";
import { Button, Card, Muted, Row, ToggleRow } from "./ui";

type Switched = "killSwitch" | "blockIpv6" | "menuBarVisible";

const switches: { key: Switched; testID: string; label: string; description: string }[] = [
  {
    key: "killSwitch",
    testID: "kill-switch-toggle",
    label: "Kill switch",
    description: "Block all traffic outside the VPN while a session is wanted, also when the tunnel drops.",
  },
  {
    key: "blockIpv6",
    testID: "ipv6-toggle",
    label: "Block IPv6",
    description: "Keep IPv6 traffic from leaving outside the tunnel. Takes effect at the next connect.",
  },
  {
    key: "menuBarVisible",
    testID: "menu-bar-toggle",
    label: "Show the icon in the notification area",
    description: "Connect, disconnect and open Varnel from the icon's menu. Closing the window keeps Varnel running.",
  },
];

function Switches(props: { controller: AppController; settings: Settings; keys: Switched[] }) {
  const actions = props.controller.settings;
  const change: Record<Switched, (value: boolean) => Promise<void>> = {
    killSwitch: (v) => actions.setKillSwitch(v),
    blockIpv6: (v) => actions.setBlockIpv6(v),
    menuBarVisible: (v) => actions.setMenuBarVisible(v),
  };
  return (
    <>
      {switches
        .filter((s) => props.keys.includes(s.key))
        .map((s) => (
          <ToggleRow
            key={s.key}
            testID={s.testID}
            label={s.label}
            description={s.description}
            value={props.settings[s.key]}
            onChange={(v) => void change[s.key](v)}
          />
        ))}
    </>
  );
}

export function SettingsView(props: { controller: AppController; state: AppState }) {
  const palette = useTheme();
  const { controller } = props;
  const { settings } = props.state;
  return (
    <View style={{ gap: 16 }}>
      <Card title="Network protection">
        <Switches controller={controller} settings={settings} keys={["killSwitch", "blockIpv6"]} />
      </Card>
      <Card title="Notification area">
        <Switches controller={controller} settings={settings} keys={["menuBarVisible"]} />
      </Card>
      <Card title="Apps to close when the VPN drops">
        <Muted>
          When a connected session ends without you disconnecting, these apps are closed at once so that they do not go on
          without the VPN.
        </Muted>
        {settings.appsToClose.length === 0 ? (
          <Muted>No apps chosen.</Muted>
        ) : (
          <View testID="apps-to-close" style={{ gap: 6 }}>
            {settings.appsToClose.map((app) => (
              <Row
                key={app.bundleId}
                style={{ paddingVertical: 6, paddingHorizontal: 10, borderRadius: 8, backgroundColor: palette.raised }}
              >
                <View style={{ flex: 1 }}>
                  <Text style={{ color: palette.text, fontSize: 14 }}>{app.name}</Text>
                  <Text selectable numberOfLines={1} style={{ color: palette.muted, fontSize: 12 }}>
                    {app.path || app.bundleId}
                  </Text>
                </View>
                <Button
                  tone="quiet"
                  label="Remove"
                  accessibilityLabel={`Remove ${app.name}`}
                  onPress={() => void controller.settings.removeAppToClose(app.bundleId)}
                />
              </Row>
            ))}
          </View>
        )}
        <Button testID="add-app" tone="secondary" label="Add app…" onPress={() => void controller.settings.addAppToClose()} />
      </Card>
    </View>
  );
}
