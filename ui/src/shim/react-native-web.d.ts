// The part of react-native-web's surface this application uses, typed as React Native types it.
// react-native-web ships no declarations of its own, and the community ones pull in all of React
// Native, so we declare what we touch and let the compiler hold us to it.
declare module "react-native-web" {
  import type { ComponentType, ReactNode } from "react";

  type Falsy = false | null | undefined;
  export type StyleProp<T> = T | Falsy | ReadonlyArray<StyleProp<T>>;
  type Dimension = number | `${number}%` | "auto";
  type ColorValue = string;

  export interface ViewStyle {
    flex?: number;
    flexDirection?: "row" | "column" | "row-reverse" | "column-reverse";
    flexGrow?: number;
    flexShrink?: number;
    flexBasis?: Dimension;
    flexWrap?: "wrap" | "nowrap";
    alignItems?: "flex-start" | "flex-end" | "center" | "stretch" | "baseline";
    alignSelf?: "auto" | "flex-start" | "flex-end" | "center" | "stretch" | "baseline";
    justifyContent?: "flex-start" | "flex-end" | "center" | "space-between" | "space-around" | "space-evenly";
    gap?: number;
    rowGap?: number;
    columnGap?: number;
    position?: "absolute" | "relative";
    top?: Dimension;
    right?: Dimension;
    bottom?: Dimension;
    left?: Dimension;
    zIndex?: number;
    width?: Dimension;
    height?: Dimension;
    minWidth?: Dimension;
    maxWidth?: Dimension;
    minHeight?: Dimension;
    maxHeight?: Dimension;
    margin?: Dimension;
    marginTop?: Dimension;
    marginBottom?: Dimension;
    marginLeft?: Dimension;
    marginRight?: Dimension;
    marginHorizontal?: Dimension;
    marginVertical?: Dimension;
    padding?: Dimension;
    paddingTop?: Dimension;
    paddingBottom?: Dimension;
    paddingLeft?: Dimension;
    paddingRight?: Dimension;
    paddingHorizontal?: Dimension;
    paddingVertical?: Dimension;
    overflow?: "visible" | "hidden" | "scroll";
    backgroundColor?: ColorValue;
    opacity?: number;
    borderWidth?: number;
    borderTopWidth?: number;
    borderBottomWidth?: number;
    borderLeftWidth?: number;
    borderRightWidth?: number;
    borderColor?: ColorValue;
    borderTopColor?: ColorValue;
    borderBottomColor?: ColorValue;
    borderLeftColor?: ColorValue;
    borderRightColor?: ColorValue;
    borderRadius?: number;
    borderTopLeftRadius?: number;
    borderTopRightRadius?: number;
    borderBottomLeftRadius?: number;
    borderBottomRightRadius?: number;
    borderStyle?: "solid" | "dashed" | "dotted";
    boxShadow?: string;
    outlineColor?: ColorValue;
    outlineStyle?: "solid" | "none";
    outlineWidth?: number;
    outlineOffset?: number;
    cursor?: "pointer" | "default" | "not-allowed" | "text";
    transitionProperty?: string;
    transitionDuration?: string;
  }

  export interface TextStyle extends ViewStyle {
    color?: ColorValue;
    fontFamily?: string;
    fontSize?: number;
    fontWeight?: "400" | "500" | "600" | "700";
    fontVariant?: ReadonlyArray<"tabular-nums">;
    letterSpacing?: number;
    lineHeight?: number;
    textAlign?: "left" | "right" | "center";
    textTransform?: "none" | "uppercase" | "lowercase" | "capitalize";
    userSelect?: "none" | "text" | "auto";
    wordBreak?: "break-all" | "break-word" | "normal";
  }

  interface AccessibleProps {
    testID?: string;
    nativeID?: string;
    role?: string;
    accessibilityLabel?: string;
    "aria-label"?: string;
    "aria-live"?: "off" | "polite" | "assertive";
    "aria-selected"?: boolean;
    "aria-checked"?: boolean;
    "aria-disabled"?: boolean;
    "aria-modal"?: boolean;
    "aria-hidden"?: boolean;
  }

  export interface KeyEvent {
    key: string;
    preventDefault(): void;
  }
  export interface ViewProps extends AccessibleProps {
    style?: StyleProp<ViewStyle>;
    onKeyDown?: (event: KeyEvent) => void;
    children?: ReactNode;
    pointerEvents?: "auto" | "none" | "box-none" | "box-only";
  }
  export interface TextProps extends AccessibleProps {
    style?: StyleProp<TextStyle>;
    children?: ReactNode;
    numberOfLines?: number;
    selectable?: boolean;
  }
  export interface PressableState {
    pressed: boolean;
    hovered: boolean;
    focused: boolean;
  }
  export interface PressableProps extends AccessibleProps {
    onPress?: () => void;
    disabled?: boolean;
    style?: StyleProp<ViewStyle> | ((state: PressableState) => StyleProp<ViewStyle>);
    children?: ReactNode | ((state: PressableState) => ReactNode);
  }
  export interface TextInputProps extends AccessibleProps {
    value?: string;
    onChangeText?: (text: string) => void;
    onSubmitEditing?: () => void;
    placeholder?: string;
    placeholderTextColor?: ColorValue;
    secureTextEntry?: boolean;
    autoFocus?: boolean;
    autoComplete?: string;
    autoCapitalize?: "none" | "sentences" | "words" | "characters";
    autoCorrect?: boolean;
    spellCheck?: boolean;
    editable?: boolean;
    maxLength?: number;
    style?: StyleProp<TextStyle>;
  }
  export interface ScrollViewProps extends ViewProps {
    contentContainerStyle?: StyleProp<ViewStyle>;
  }
  export interface SwitchProps extends AccessibleProps {
    value?: boolean;
    onValueChange?: (value: boolean) => void;
    disabled?: boolean;
    trackColor?: { false?: ColorValue; true?: ColorValue };
    thumbColor?: ColorValue;
    activeThumbColor?: ColorValue;
  }
  export interface ActivityIndicatorProps extends ViewProps {
    color?: ColorValue;
    size?: "small" | "large" | number;
  }

  export const View: ComponentType<ViewProps>;
  export const Text: ComponentType<TextProps>;
  export const Pressable: ComponentType<PressableProps>;
  export const TextInput: ComponentType<TextInputProps>;
  export const ScrollView: ComponentType<ScrollViewProps>;
  export const Switch: ComponentType<SwitchProps>;
  export const ActivityIndicator: ComponentType<ActivityIndicatorProps>;

  type NamedStyles<T> = { [P in keyof T]: ViewStyle | TextStyle };
  export const StyleSheet: {
    create<T extends NamedStyles<T>>(styles: T): T;
    readonly hairlineWidth: number;
  };

  export type ColorSchemeName = "light" | "dark" | null | undefined;
  export function useColorScheme(): ColorSchemeName;
  export const Appearance: {
    getColorScheme(): ColorSchemeName;
  };

  export interface EmitterSubscription {
    remove(): void;
  }
  export const DeviceEventEmitter: {
    emit(eventType: string, ...args: unknown[]): void;
    addListener(eventType: string, listener: (...args: any[]) => void): EmitterSubscription;
  };
  export class NativeEventEmitter {
    constructor(nativeModule?: unknown);
    addListener(eventType: string, listener: (...args: any[]) => void): EmitterSubscription;
  }
  export const NativeModules: { [name: string]: unknown };

  export type AppStateStatus = "active" | "background";
  export const AppState: {
    readonly currentState: AppStateStatus;
    addEventListener(type: "change", handler: (state: AppStateStatus) => void): EmitterSubscription | undefined;
  };

  export interface AppParameters {
    rootTag: Element | null;
    initialProps?: object;
  }
  export const AppRegistry: {
    registerComponent(appKey: string, provider: () => ComponentType<any>): string;
    runApplication(appKey: string, params: AppParameters): void;
  };
}
