// The user name and password of one profile, asked for in place when a connect needs them. The
// password is masked unless the user chooses to show it.
import { type ReactNode, useState } from "react";
import { Text, TextInput, View } from "react-native";
import type { CredentialsRequest } from "../logic/app_state";
import type { AppController } from "../logic/controller";
import { inputStyle } from "./ProfileCard";
import { useTheme } from "./theme";
import { Button, Heading, Muted, Row } from "./ui";

function Field(props: { label: string; children: ReactNode }) {
  const palette = useTheme();
  return (
    <View style={{ gap: 6 }}>
      <Text style={{ color: palette.muted, fontSize: 12 }}>{props.label}</Text>
      {props.children}
    </View>
  );
}

export function CredentialsPanel(props: { controller: AppController; request: CredentialsRequest }) {
  const palette = useTheme();
  const { controller, request } = props;
  const [username, setUsername] = useState(request.username);
  const [password, setPassword] = useState(request.password);
  const [reveal, setReveal] = useState(false);
  const name = controller.profile(request.profileId)?.name ?? request.profileId;
  const submit = () => void controller.submitCredentials(username, password);
  const connecting = request.purpose === "connect";
  const typed = { autoCapitalize: "none", autoCorrect: false, spellCheck: false, onSubmitEditing: submit } as const;
  return (
    <View
      style={{
        position: "absolute",
        top: 0,
        left: 0,
        right: 0,
        bottom: 0,
        backgroundColor: palette.overlay,
        alignItems: "center",
        justifyContent: "center",
        zIndex: 10,
      }}
    >
      <View
        role="dialog"
        aria-modal
        aria-label={`Credentials for ${name}`}
        onKeyDown={(event) => {
          if (event.key === "Escape") controller.cancelCredentials();
        }}
        style={{
          width: 420,
          backgroundColor: palette.card,
          borderRadius: 14,
          borderWidth: 1,
          borderColor: palette.border,
          padding: 24,
          gap: 14,
          boxShadow: "0 12px 40px rgba(0, 0, 0, 0.25)",
        }}
      >
        <Heading>{connecting ? `Sign in to ${name}` : `Credentials for ${name}`}</Heading>
        <Muted>
          {connecting
            ? "This profile needs a user name and password. They are saved for this profile, so you are asked only once."
            : "The user name and password saved for this profile."}
        </Muted>
        <Field label="User name">
          <TextInput
            {...typed}
            testID="credentials-user"
            accessibilityLabel="User name"
            autoFocus
            autoComplete="username"
            value={username}
            onChangeText={setUsername}
            style={inputStyle(palette)}
          />
        </Field>
        <Field label="Password">
          <Row>
            <TextInput
              {...typed}
              testID="credentials-password"
              accessibilityLabel="Password"
              secureTextEntry={!reveal}
              autoComplete="current-password"
              value={password}
              onChangeText={setPassword}
              style={[inputStyle(palette), { flex: 1 }]}
            />
            <Button
              testID="credentials-reveal"
              tone="quiet"
              label={reveal ? "Hide" : "Show"}
              accessibilityLabel={reveal ? "Hide password" : "Show password"}
              onPress={() => setReveal(!reveal)}
            />
          </Row>
        </Field>
        {request.message ? (
          <Text testID="credentials-message" style={{ color: palette.danger, fontSize: 13 }}>
            {request.message}
          </Text>
        ) : null}
        <Row style={{ justifyContent: "flex-end" }}>
          <Button tone="secondary" label="Cancel" onPress={() => controller.cancelCredentials()} />
          <Button
            testID="credentials-save"
            tone="primary"
            label={connecting ? "Save and connect" : "Save"}
            disabled={request.busy}
            onPress={submit}
          />
        </Row>
      </View>
    </View>
  );
}
