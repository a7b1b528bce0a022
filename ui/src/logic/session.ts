// The connection as the interface follows it: what the desktop side reports through getStatus,
// what the user asked for, and the one judgement the interface makes on its own, whether a session
// the user wanted has dropped. Pure: the controller feeds events in and carries out the effects.
import type { StatusWord, TunnelStatus } from "../native/types";

export const disconnectedStatus: TunnelStatus = {
  state: "disconnected",
  message: "",
  profileId: "",
  pid: 0,
  downBps: 0,
  upBps: 0,
};

export type Pending = "none" | "connect" | "disconnect";

export interface SessionState {
  status: TunnelStatus;
  pending: Pending;
  // The profile being connected while a connect call is under way.
  pendingProfileId: string;
  // The profile whose session the user wants up; null once the user disconnects.
  wanted: string | null;
  // The wanted session has been seen connected, so its end is a drop and not a failed start.
  reachedConnected: boolean;
  connectedSince: number | null;
  // The sentence of the last call that failed; it stays until the user acts again.
  actionMessage: string;
  // Bumped whenever a call starts or ends, so that a status answer that was asked for before it
  // (and so may describe the session before the change) is not taken for the current one.
  epoch: number;
}

export type SessionEvent =
  | { type: "connectStarted"; profileId: string }
  | { type: "connectSucceeded" }
  | { type: "connectFailed"; message: string }
  | { type: "disconnectStarted" }
  | { type: "disconnectFinished" }
  | { type: "disconnectFailed"; message: string }
  | { type: "status"; status: TunnelStatus; epoch: number; now: number }
  | { type: "statusFailed"; message: string; epoch: number };

export interface DropEffect {
  type: "dropped";
  profileId: string;
  message: string;
}

export interface SessionStep {
  state: SessionState;
  effects: DropEffect[];
}

export const initialSession: SessionState = {
  status: disconnectedStatus,
  pending: "none",
  pendingProfileId: "",
  wanted: null,
  reachedConnected: false,
  connectedSince: null,
  actionMessage: "",
  epoch: 0,
};

function step(state: SessionState, changes: Partial<SessionState>, effects: DropEffect[] = []): SessionStep {
  return { state: { ...state, ...changes }, effects };
}

function onStatus(state: SessionState, status: TunnelStatus, now: number): SessionStep {
  // While a call is under way its worker moves the state; answers in between only show progress.
  if (state.pending !== "none") return step(state, { status });

  if (status.state === "disconnected") {
    const changes: Partial<SessionState> = { status, connectedSince: null, wanted: null, reachedConnected: false };
    if (state.wanted !== null && state.reachedConnected) {
      return step(state, changes, [{ type: "dropped", profileId: state.wanted, message: status.message }]);
    }
    return step(state, changes);
  }

  // A session that is up without the user having started it here was started before this window
  // loaded (the desktop side found it again); it is the user's all the same.
  const wanted = state.wanted ?? (status.profileId || null);
  if (status.state === "connecting") {
    return step(state, { status, wanted, connectedSince: null });
  }
  const sameSession = state.status.state === "connected" && state.status.profileId === status.profileId;
  return step(state, {
    status,
    wanted,
    reachedConnected: state.reachedConnected || wanted !== null,
    connectedSince: sameSession && state.connectedSince !== null ? state.connectedSince : now,
    actionMessage: "",
  });
}

export function reduceSession(state: SessionState, event: SessionEvent): SessionStep {
  const next = state.epoch + 1;
  switch (event.type) {
    case "connectStarted":
      return step(state, {
        pending: "connect",
        pendingProfileId: event.profileId,
        wanted: event.profileId,
        reachedConnected: false,
        actionMessage: "",
        epoch: next,
      });
    case "connectSucceeded":
      // The module answers once OpenVPN's management interface is up: the session is connecting.
      return step(state, {
        pending: "none",
        status: { ...disconnectedStatus, state: "connecting", profileId: state.pendingProfileId },
        connectedSince: null,
        epoch: next,
      });
    case "connectFailed":
      return step(state, {
        pending: "none",
        wanted: null,
        reachedConnected: false,
        connectedSince: null,
        actionMessage: event.message,
        status: { ...state.status, state: "disconnected", downBps: 0, upBps: 0 },
        epoch: next,
      });
    case "disconnectStarted":
      return step(state, { pending: "disconnect", wanted: null, reachedConnected: false, actionMessage: "", epoch: next });
    case "disconnectFinished":
      return step(state, { pending: "none", status: disconnectedStatus, connectedSince: null, epoch: next });
    case "disconnectFailed":
      return step(state, { pending: "none", actionMessage: event.message, epoch: next });
    case "status":
      return event.epoch === state.epoch ? onStatus(state, event.status, event.now) : step(state, {});
    case "statusFailed":
      return event.epoch === state.epoch ? step(state, { actionMessage: event.message }) : step(state, {});
  }
}

export interface SessionView {
  word: StatusWord;
  profileId: string;
  message: string;
  connectedSince: number | null;
  pending: Pending;
  // True while a session exists or is being made: the interface offers Disconnect.
  active: boolean;
}

export function sessionView(state: SessionState): SessionView {
  const connecting = state.pending === "connect";
  const word: StatusWord = connecting ? "connecting" : state.status.state;
  return {
    word,
    profileId: connecting ? state.pendingProfileId : state.status.profileId || state.wanted || "",
    message: state.actionMessage || state.status.message,
    connectedSince: word === "connected" ? state.connectedSince : null,
    pending: state.pending,
    active: word !== "disconnected" || state.pending !== "none",
  };
}
