// The connection: status word, profile, time connected, rates with their graph, and the one button
// that connects or disconnects.
import { ActivityIndicator, Text, View } from "react-native";
import type { AppState } from "../logic/app_state";
import type { AppController } from "../logic/controller";
import { durationText, rateReading } from "../logic/format";
import { graphScale } from "../logic/rate_history";
import { serverText } from "../logic/profiles";
import { sessionView } from "../logic/session";
import { RateGraph } from "./RateGraph";
import { useTheme } from "./theme";
import { Button, Card, Muted, Row } from "./ui";

function Rate(props: { label: string; bytesPerSecond: number; colour: string; testID: string }) {
  const palette = useTheme();
  const reading = rateReading(props.bytesPerSecond);
  return (
    <View style={{ gap: 2, minWidth: 130 }}>
      <Row style={{ gap: 6 }}>
        <View style={{ width: 8, height: 8, borderRadius: 2, backgroundColor: props.colour }} />
        <Text style={{ color: palette.muted, fontSize: 12 }}>{props.label}</Text>
      </Row>
      <Text
        testID={props.testID}
        style={{ color: palette.text, fontSize: 22, fontWeight: "600", fontVariant: ["tabular-nums"] }}
      >
        {`${reading.value} ${reading.unit}`}
      </Text>
    </View>
  );
}

export function ConnectionCard(props: { controller: AppController; state: AppState }) {
  const palette = useTheme();
  const { controller, state } = props;
  const view = sessionView(state.session);
  const selected = controller.profile(state.selectedId);
  const shown = view.active ? controller.profile(view.profileId) : selected;
  const shownName = shown?.name ?? (view.active && view.profileId ? view.profileId : "No profile selected");
  const since = view.connectedSince;
  const closed = state.closedApps;
  const busy = view.pending !== "none";
  return (
    <Card testID="connection-card">
      <Row style={{ justifyContent: "space-between", alignItems: "flex-start" }}>
        <View style={{ gap: 4, flex: 1 }}>
          <Row style={{ gap: 8 }}>
            <View style={{ width: 10, height: 10, borderRadius: 5, backgroundColor: palette.status[view.word] }} />
            <Text
              testID="status-state"
              aria-live="polite"
              style={{ color: palette.status[view.word], fontSize: 26, fontWeight: "700" }}
            >
              {view.word}
            </Text>
            {busy ? <ActivityIndicator size="small" color={palette.muted} /> : null}
          </Row>
          <Text numberOfLines={1} style={{ color: palette.text, fontSize: 15, fontWeight: "500" }}>
            {shownName}
          </Text>
          {shown ? <Muted>{serverText(shown)}</Muted> : null}
        </View>
        <View style={{ alignItems: "flex-end", gap: 2 }}>
          <Text style={{ color: palette.muted, fontSize: 12 }}>Time connected</Text>
          <Text style={{ color: palette.text, fontSize: 22, fontWeight: "600", fontVariant: ["tabular-nums"] }}>
            {since !== null ? durationText(Date.now() - since) : "—"}
          </Text>
        </View>
      </Row>

      <Row style={{ gap: 28, alignItems: "flex-end" }}>
        <Rate label="Download" bytesPerSecond={state.session.status.downBps} colour={palette.down} testID="rate-down" />
        <Rate label="Upload" bytesPerSecond={state.session.status.upBps} colour={palette.up} testID="rate-up" />
        <View style={{ flex: 1 }}>
          <RateGraph history={state.history} scale={graphScale(state.history)} />
        </View>
      </Row>

      <Text
        testID="status-message"
        aria-live="polite"
        selectable
        style={{ color: view.word === "connected" ? palette.muted : palette.danger, fontSize: 14, lineHeight: 20 }}
      >
        {view.message}
      </Text>
      {closed ? (
        <Muted testID="closed-apps">
          {closed.names.length > 0
            ? `The VPN dropped, so these apps were closed: ${closed.names.join(", ")}.`
            : "The VPN dropped; none of the apps to close were running."}
        </Muted>
      ) : null}

      <Row>
        {view.active ? (
          <Button
            testID="disconnect-button"
            tone="secondary"
            label={view.pending === "disconnect" ? "Disconnecting…" : "Disconnect"}
            disabled={view.pending === "disconnect"}
            onPress={() => void controller.disconnect()}
          />
        ) : (
          <Button
            testID="connect-button"
            tone="primary"
            label={selected ? `Connect to ${selected.name}` : "Connect"}
            disabled={selected === undefined}
            onPress={() => selected && void controller.connect(selected.id)}
          />
        )}
      </Row>
    </Card>
  );
}
