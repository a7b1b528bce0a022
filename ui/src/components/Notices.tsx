// Plain notices above the main view: OpenVPN missing (the sentence names the download address; the
// text can be selected, since the window does not navigate away to open it), and the outcome of the
// last profile or settings action.
import { Text, View } from "react-native";
import type { HelperState, Notice } from "../logic/app_state";
import { useTheme } from "./theme";
import { Button, Row } from "./ui";

export function HelperNotice(props: { helper: HelperState; onRetry: () => void }) {
  const palette = useTheme();
  if (!props.helper.checked || props.helper.installed) return null;
  return (
    <View
      testID="helper-notice"
      role="alert"
      style={{ backgroundColor: palette.raised, borderRadius: 10, padding: 14, gap: 8, borderLeftWidth: 3, borderLeftColor: palette.status.connecting }}
    >
      <Text style={{ color: palette.text, fontSize: 14, fontWeight: "600" }}>OpenVPN is needed to connect</Text>
      <Text testID="helper-message" selectable style={{ color: palette.text, fontSize: 14, lineHeight: 20 }}>
        {props.helper.notice}
      </Text>
      <Button tone="secondary" label="Check again" onPress={props.onRetry} />
    </View>
  );
}

export function NoticeBar(props: { notice: Notice | null; onDismiss: () => void }) {
  const palette = useTheme();
  if (props.notice === null) return null;
  const error = props.notice.tone === "error";
  return (
    <Row
      style={{
        backgroundColor: error ? palette.dangerSoft : palette.accentSoft,
        borderRadius: 10,
        paddingVertical: 8,
        paddingHorizontal: 14,
      }}
    >
      <Text
        testID="notice"
        role={error ? "alert" : "status"}
        selectable
        style={{ flex: 1, color: error ? palette.danger : palette.text, fontSize: 14 }}
      >
        {props.notice.text}
      </Text>
      <Button tone="quiet" label="Dismiss" onPress={props.onDismiss} />
    </Row>
  );
}
