// Small building blocks shared by the views: buttons with a visible keyboard focus, cards, rows.
import type { ReactNode } from "react";
import { Pressable, Switch, Text, View, type ViewStyle } from "react-native";
import { type Palette, useTheme } from "./theme";

export type ButtonTone = "primary" | "secondary" | "danger" | "destructive" | "quiet";

function buttonColours(palette: Palette, tone: ButtonTone): { background: string; text: string; border: string } {
  switch (tone) {
    case "primary":
      return { background: palette.accent, text: palette.accentText, border: palette.accent };
    case "danger":
      return { background: palette.dangerSoft, text: palette.danger, border: palette.dangerSoft };
    case "destructive":
      return { background: palette.danger, text: palette.dangerText, border: palette.danger };
    case "secondary":
      return { background: palette.card, text: palette.text, border: palette.border };
    case "quiet":
      return { background: "transparent", text: palette.accent, border: "transparent" };
  }
}

export function focusRing(palette: Palette, focused: boolean): ViewStyle {
  return focused ? { outlineColor: palette.focus, outlineStyle: "solid", outlineWidth: 2, outlineOffset: 2 } : {};
}

export function Button(props: {
  label: string;
  onPress: () => void;
  tone?: ButtonTone;
  disabled?: boolean;
  testID?: string;
  accessibilityLabel?: string;
  wide?: boolean;
}) {
  const palette = useTheme();
  const colours = buttonColours(palette, props.tone ?? "secondary");
  return (
    <Pressable
      role="button"
      testID={props.testID}
      accessibilityLabel={props.accessibilityLabel ?? props.label}
      disabled={props.disabled}
      onPress={props.onPress}
      style={({ hovered, pressed, focused }) => [
        {
          backgroundColor: colours.background,
          borderColor: colours.border,
          borderWidth: 1,
          borderRadius: 8,
          paddingHorizontal: props.tone === "quiet" ? 6 : 14,
          paddingVertical: 8,
          alignItems: "center",
          opacity: props.disabled ? 0.45 : pressed ? 0.8 : hovered ? 0.92 : 1,
          alignSelf: props.wide ? "stretch" : "flex-start",
        },
        focusRing(palette, focused),
      ]}
    >
      <Text style={{ color: colours.text, fontSize: 14, fontWeight: "600" }}>{props.label}</Text>
    </Pressable>
  );
}

export function Card(props: { title?: string; children: ReactNode; testID?: string; style?: ViewStyle }) {
  const palette = useTheme();
  return (
    <View
      testID={props.testID}
      style={[
        {
          backgroundColor: palette.card,
          borderColor: palette.border,
          borderWidth: 1,
          borderRadius: 12,
          padding: 20,
          gap: 14,
        },
        props.style,
      ]}
    >
      {props.title ? <Heading>{props.title}</Heading> : null}
      {props.children}
    </View>
  );
}

export function Heading(props: { children: ReactNode }) {
  const palette = useTheme();
  return (
    <Text role="heading" style={{ color: palette.text, fontSize: 16, fontWeight: "600" }}>
      {props.children}
    </Text>
  );
}

export function Muted(props: { children: ReactNode; selectable?: boolean; testID?: string }) {
  const palette = useTheme();
  return (
    <Text testID={props.testID} selectable={props.selectable} style={{ color: palette.muted, fontSize: 13, lineHeight: 19 }}>
      {props.children}
    </Text>
  );
}

export function ToggleRow(props: {
  label: string;
  description: string;
  value: boolean;
  onChange: (value: boolean) => void;
  testID: string;
}) {
  const palette = useTheme();
  return (
    <View style={{ flexDirection: "row", alignItems: "center", gap: 16 }}>
      <View style={{ flex: 1, gap: 2 }}>
        <Text style={{ color: palette.text, fontSize: 14, fontWeight: "500" }}>{props.label}</Text>
        <Muted>{props.description}</Muted>
      </View>
      <Switch
        testID={props.testID}
        accessibilityLabel={props.label}
        value={props.value}
        onValueChange={props.onChange}
        trackColor={{ false: palette.border, true: palette.accent }}
        thumbColor={palette.card}
        activeThumbColor={palette.card}
      />
    </View>
  );
}

export function Row(props: { children: ReactNode; style?: ViewStyle }) {
  return <View style={[{ flexDirection: "row", alignItems: "center", gap: 10 }, props.style]}>{props.children}</View>;
}
