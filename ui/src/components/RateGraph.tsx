// The last minute of download (above the line) and upload (below it) as thin bars.
import { View } from "react-native";
import { historyLength, type RateSample } from "../logic/rate_history";
import { useTheme } from "./theme";

const halfHeight = 34;

export function RateGraph(props: { history: readonly RateSample[]; scale: number }) {
  const palette = useTheme();
  const padding = Array.from({ length: historyLength - props.history.length }, () => ({ down: 0, up: 0 }));
  const samples = [...padding, ...props.history];
  const bar = (value: number) => Math.max(value > 0 ? 1 : 0, Math.round((value / props.scale) * halfHeight));
  return (
    <View aria-hidden style={{ height: halfHeight * 2 + 1, justifyContent: "center" }}>
      <View style={{ position: "absolute", left: 0, right: 0, top: halfHeight, height: 1, backgroundColor: palette.border }} />
      <View style={{ flexDirection: "row", gap: 2, height: halfHeight * 2 + 1 }}>
        {samples.map((sample, i) => (
          <View key={i} style={{ flex: 1 }}>
            <View style={{ height: halfHeight, justifyContent: "flex-end" }}>
              <View style={{ height: bar(sample.down), backgroundColor: palette.down, borderTopLeftRadius: 1, borderTopRightRadius: 1 }} />
            </View>
            <View style={{ height: 1 }} />
            <View style={{ height: halfHeight }}>
              <View style={{ height: bar(sample.up), backgroundColor: palette.up, borderBottomLeftRadius: 1, borderBottomRightRadius: 1 }} />
            </View>
          </View>
        ))}
      </View>
    </View>
  );
}
