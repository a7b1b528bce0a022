// The selected profile: its server, renaming, credentials, and deletion after a confirmation.
import { useEffect, useState } from "react";
import { Text, TextInput, View } from "react-native";
import type { AppState } from "../logic/app_state";
import type { AppController } from "../logic/controller";
import { latencyText } from "../logic/format";
import type { Profile } from "../logic/profiles";
import { sessionView } from "../logic/session";
import { type Palette, useTheme } from "./theme";
import { Button, Card, Muted, Row } from "./ui";

export function inputStyle(palette: Palette) {
  return {
    color: palette.text,
    backgroundColor: palette.background,
    borderColor: palette.border,
    borderWidth: 1,
    borderRadius: 8,
    paddingHorizontal: 10,
    paddingVertical: 8,
    fontSize: 14,
  };
}

function Detail(props: { label: string; value: string }) {
  const palette = useTheme();
  return (
    <View style={{ minWidth: 140, gap: 2 }}>
      <Text style={{ color: palette.muted, fontSize: 12 }}>{props.label}</Text>
      <Text selectable numberOfLines={1} style={{ color: palette.text, fontSize: 14 }}>
        {props.value || "—"}
      </Text>
    </View>
  );
}

function RenameForm(props: { profile: Profile; onDone: () => void; controller: AppController }) {
  const palette = useTheme();
  const [name, setName] = useState(props.profile.name);
  const save = async () => {
    if (await props.controller.profiles.rename(props.profile.id, name)) props.onDone();
  };
  return (
    <Row>
      <TextInput
        testID="rename-input"
        accessibilityLabel="Profile name"
        autoFocus
        value={name}
        onChangeText={setName}
        onSubmitEditing={() => void save()}
        maxLength={120}
        style={[inputStyle(palette), { flex: 1 }]}
      />
      <Button testID="rename-save" tone="primary" label="Save" onPress={() => void save()} />
      <Button tone="secondary" label="Cancel" onPress={props.onDone} />
    </Row>
  );
}

export function ProfileCard(props: { controller: AppController; state: AppState }) {
  const palette = useTheme();
  const { controller, state } = props;
  const profile = controller.profile(state.selectedId);
  const [mode, setMode] = useState<"view" | "rename" | "delete">("view");
  useEffect(() => setMode("view"), [state.selectedId]);
  if (profile === undefined) return null;
  const view = sessionView(state.session);
  const inUse = view.active && view.profileId === profile.id;
  const latency = latencyText(state.latency[profile.id] ?? { kind: "unknown" });
  return (
    <Card title="Profile">
      {mode === "rename" ? (
        <RenameForm profile={profile} controller={controller} onDone={() => setMode("view")} />
      ) : (
        <Text style={{ color: palette.text, fontSize: 15, fontWeight: "500" }}>{profile.name}</Text>
      )}
      <Row style={{ flexWrap: "wrap", gap: 20 }}>
        <Detail label="Server" value={profile.host} />
        <Detail label="Protocol" value={profile.proto.toUpperCase()} />
        <Detail label="Port" value={profile.port > 0 ? String(profile.port) : ""} />
        <Detail label="Latency" value={latency === "…" ? "Measuring…" : latency} />
        <Detail label="Configuration file" value={profile.fileName} />
      </Row>
      {mode === "delete" ? (
        <View style={{ gap: 10, padding: 12, borderRadius: 8, backgroundColor: palette.dangerSoft }}>
          <Text style={{ color: palette.text, fontSize: 14 }}>
            {`Delete "${profile.name}"? Its configuration and saved credentials are removed from this computer.`}
          </Text>
          <Row>
            <Button
              testID="delete-confirm"
              tone="destructive"
              label="Delete profile"
              onPress={() => {
                setMode("view");
                void controller.profiles.remove(profile.id);
              }}
            />
            <Button tone="secondary" label="Keep it" onPress={() => setMode("view")} />
          </Row>
        </View>
      ) : (
        <Row style={{ flexWrap: "wrap" }}>
          <Button tone="secondary" label="Measure latency" onPress={() => void controller.profiles.measureLatency(profile.id)} disabled={profile.host === ""} />
          <Button testID="rename-profile" tone="secondary" label="Rename" onPress={() => setMode("rename")} />
          <Button testID="edit-credentials" tone="secondary" label="Credentials…" onPress={() => void controller.editCredentials(profile.id)} />
          <Button testID="delete-profile" tone="danger" label="Delete…" onPress={() => setMode("delete")} disabled={inUse} />
        </Row>
      )}
      {inUse ? <Muted>Disconnect to delete this profile.</Muted> : null}
    </Card>
  );
}
