// This computer, the build's constants and the state of OpenVPN.
import { Text, View } from "react-native";
import type { AppState } from "../logic/app_state";
import type { AppController } from "../logic/controller";
import { useTheme } from "./theme";
import { Button, Card } from "./ui";

declare const __VARNEL_UI_VERSION__: string;

function Line(props: { label: string; value: string; testID?: string }) {
  const palette = useTheme();
  return (
    <View style={{ flexDirection: "row", gap: 16, paddingVertical: 4 }}>
      <Text style={{ width: 200, color: palette.muted, fontSize: 13 }}>{props.label}</Text>
      <Text testID={props.testID} selectable style={{ flex: 1, color: palette.text, fontSize: 13, wordBreak: "break-all" }}>
        {props.value || "—"}
      </Text>
    </View>
  );
}

const yesNo = (value: boolean | undefined) => (value === undefined ? "" : value ? "Yes" : "No");

export function AboutView(props: { controller: AppController; state: AppState }) {
  const { about } = props.state;
  return (
    <View style={{ gap: 16 }}>
      <Card title="Varnel VPN">
        <Line label="Interface version" value={typeof __VARNEL_UI_VERSION__ === "string" ? __VARNEL_UI_VERSION__ : ""} />
        <Line label="This computer" value={about.deviceName} testID="about-device" />
      </Card>
      <Card title="Build">
        <Line label="Service address" value={about.constants?.apiBaseUrl ?? ""} testID="about-api" />
        <Line
          label="Device details in VPN sign-in"
          value={yesNo(about.constants?.includeVpnAuthDeviceMetadata)}
        />
      </Card>
      <Card title="OpenVPN">
        <Line label="Installed" value={yesNo(about.helper?.installed)} testID="about-helper-installed" />
        <Line label="Program" value={about.helper?.executable ?? ""} />
        <Line label="Management connection" value={yesNo(about.helper?.reachable)} />
        <Line label="Profiles folder" value={about.helper?.profilesDir ?? ""} />
        <Button tone="secondary" label="Check again" onPress={() => void props.controller.loadAbout()} />
      </Card>
    </View>
  );
}
