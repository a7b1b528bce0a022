// The left column: the profile list with each server's latency, and the import button.
import { Pressable, ScrollView, Text, View } from "react-native";
import type { AppController } from "../logic/controller";
import type { AppState } from "../logic/app_state";
import { type Latency, latencyText } from "../logic/format";
import { serverText, type Profile } from "../logic/profiles";
import { sessionView } from "../logic/session";
import type { StatusWord } from "../native/types";
import { useTheme } from "./theme";
import { Button, focusRing, Muted, Row } from "./ui";

function ProfileRow(props: {
  profile: Profile;
  latency: Latency;
  selected: boolean;
  session: StatusWord | null;
  onSelect: () => void;
}) {
  const palette = useTheme();
  const { profile, selected, session } = props;
  const latency = latencyText(props.latency);
  return (
    <Pressable
      role="button"
      testID={`profile-row-${profile.id}`}
      aria-selected={selected}
      accessibilityLabel={`${profile.name}${session ? `, ${session}` : ""}`}
      onPress={props.onSelect}
      style={({ hovered, focused }) => [
        {
          paddingHorizontal: 12,
          paddingVertical: 10,
          borderRadius: 10,
          backgroundColor: selected ? palette.accentSoft : hovered ? palette.raised : "transparent",
          gap: 2,
        },
        focusRing(palette, focused),
      ]}
    >
      <Row>
        <View
          style={{
            width: 8,
            height: 8,
            borderRadius: 4,
            backgroundColor: session ? palette.status[session] : "transparent",
            borderWidth: session ? 0 : 1,
            borderColor: palette.border,
          }}
        />
        <Text numberOfLines={1} style={{ flex: 1, color: palette.text, fontSize: 14, fontWeight: selected ? "600" : "500" }}>
          {profile.name}
        </Text>
        {latency ? (
          <Text style={{ color: palette.muted, fontSize: 12, fontVariant: ["tabular-nums"] }}>{latency}</Text>
        ) : null}
      </Row>
      <Text numberOfLines={1} style={{ color: palette.muted, fontSize: 12, marginLeft: 18 }}>
        {serverText(profile)}
      </Text>
    </Pressable>
  );
}

export function Sidebar(props: { controller: AppController; state: AppState }) {
  const palette = useTheme();
  const { controller, state } = props;
  const session = sessionView(state.session);
  return (
    <View
      style={{
        width: 320,
        backgroundColor: palette.sidebar,
        borderRightWidth: 1,
        borderRightColor: palette.border,
        paddingTop: 20,
      }}
    >
      <Row style={{ paddingHorizontal: 20, marginBottom: 18 }}>
        <View style={{ width: 26, height: 26, borderRadius: 8, backgroundColor: palette.accent }} />
        <Text style={{ color: palette.text, fontSize: 18, fontWeight: "700", letterSpacing: 0.2 }}>Varnel VPN</Text>
      </Row>
      <Row style={{ paddingHorizontal: 20, justifyContent: "space-between", marginBottom: 6 }}>
        <Text style={{ color: palette.muted, fontSize: 12, fontWeight: "600", textTransform: "uppercase", letterSpacing: 0.6 }}>
          Profiles
        </Text>
        <Button
          tone="quiet"
          label="Refresh latency"
          onPress={() => void controller.profiles.measureAll()}
          disabled={state.profiles.length === 0}
        />
      </Row>
      <ScrollView testID="profile-list" style={{ flex: 1 }} contentContainerStyle={{ paddingHorizontal: 8, gap: 2 }}>
        {state.profiles.length === 0 ? (
          <View style={{ padding: 12 }}>
            <Muted>No profiles yet. Import an OpenVPN configuration file (.ovpn) to add one.</Muted>
          </View>
        ) : (
          state.profiles.map((profile) => (
            <ProfileRow
              key={profile.id}
              profile={profile}
              latency={state.latency[profile.id] ?? { kind: "unknown" }}
              selected={profile.id === state.selectedId}
              session={session.active && session.profileId === profile.id ? session.word : null}
              onSelect={() => controller.profiles.select(profile.id)}
            />
          ))
        )}
      </ScrollView>
      <View style={{ padding: 16, borderTopWidth: 1, borderTopColor: palette.border }}>
        <Button
          testID="import-profile"
          tone="secondary"
          wide
          label="Import profile…"
          onPress={() => void controller.profiles.importProfile()}
        />
      </View>
    </View>
  );
}
