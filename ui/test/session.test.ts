import assert from "node:assert/strict";
import { describe, it } from "node:test";
import {
  type DropEffect,
  disconnectedStatus,
  initialSession,
  reduceSession,
  type SessionEvent,
  type SessionState,
  sessionView,
} from "../src/logic/session";
import type { StatusWord, TunnelStatus } from "../src/native/types";

function status(state: StatusWord, profileId = "", message = ""): TunnelStatus {
  return { ...disconnectedStatus, state, profileId, message };
}

// A step is an event, or a status answer asked for now ("poll") or before the previous step ("stale").
type Step = SessionEvent | { poll: TunnelStatus; at?: number } | { stale: TunnelStatus };

function run(steps: Step[]): { state: SessionState; drops: DropEffect[] } {
  let state = initialSession;
  let previousEpoch = state.epoch;
  const drops: DropEffect[] = [];
  for (const s of steps) {
    let event: SessionEvent;
    if ("poll" in s) event = { type: "status", status: s.poll, epoch: state.epoch, now: s.at ?? 0 };
    else if ("stale" in s) event = { type: "status", status: s.stale, epoch: previousEpoch, now: 0 };
    else event = s;
    previousEpoch = state.epoch;
    const result = reduceSession(state, event);
    state = result.state;
    drops.push(...result.effects);
  }
  return { state, drops };
}

const connectA: Step[] = [
  { type: "connectStarted", profileId: "a" },
  { type: "connectSucceeded" },
  { poll: status("connecting", "a") },
  { poll: status("connected", "a") },
];

describe("session: which ends are drops", () => {
  const cases: { name: string; steps: Step[]; drops: DropEffect[]; word: StatusWord; message?: string }[] = [
    {
      name: "the user's own disconnect is not a drop",
      steps: [...connectA, { type: "disconnectStarted" }, { type: "disconnectFinished" }, { poll: status("disconnected") }],
      drops: [],
      word: "disconnected",
    },
    {
      name: "a connected session that goes down is one drop, carrying the system's sentence",
      steps: [...connectA, { poll: status("disconnected", "", "Connection closed") }, { poll: status("disconnected", "", "Connection closed") }],
      drops: [{ type: "dropped", profileId: "a", message: "Connection closed" }],
      word: "disconnected",
      message: "Connection closed",
    },
    {
      name: "a start that fails before it was ever up is not a drop",
      steps: [
        { type: "connectStarted", profileId: "a" },
        { type: "connectSucceeded" },
        { poll: status("connecting", "a") },
        { poll: status("disconnected", "", "Authentication failed - check your username and password.") },
      ],
      drops: [],
      word: "disconnected",
      message: "Authentication failed - check your username and password.",
    },
    {
      name: "reconnecting is not a drop, but its end after the session was up is",
      steps: [...connectA, { poll: status("connecting", "a") }, { poll: status("connected", "a") }, { poll: status("disconnected") }],
      drops: [{ type: "dropped", profileId: "a", message: "" }],
      word: "disconnected",
    },
    {
      name: "an answer asked for before the user disconnected does not bring the session back",
      steps: [
        ...connectA,
        { type: "disconnectStarted" },
        { stale: status("connected", "a") },
        { type: "disconnectFinished" },
        { stale: status("connected", "a") },
        { poll: status("disconnected") },
      ],
      drops: [],
      word: "disconnected",
    },
    {
      name: "a session found running when the window loads is the user's, and its drop counts",
      steps: [{ poll: status("connected", "a") }, { poll: status("disconnected") }],
      drops: [{ type: "dropped", profileId: "a", message: "" }],
      word: "disconnected",
    },
    {
      name: "switching profiles stops the old session without it counting as a drop",
      steps: [...connectA, { type: "connectStarted", profileId: "b" }, { poll: status("disconnected") }, { type: "connectSucceeded" }, { poll: status("connected", "b") }],
      drops: [],
      word: "connected",
    },
    {
      name: "a disconnect asked for while the connect call runs leaves nothing wanted",
      steps: [{ type: "connectStarted", profileId: "a" }, { type: "disconnectStarted" }, { type: "disconnectFinished" }, { poll: status("disconnected") }],
      drops: [],
      word: "disconnected",
    },
  ];
  for (const c of cases) {
    it(c.name, () => {
      const { state, drops } = run(c.steps);
      assert.deepEqual(drops, c.drops);
      const view = sessionView(state);
      assert.equal(view.word, c.word);
      if (c.message !== undefined) assert.equal(view.message, c.message);
    });
  }
});

describe("session: what the card shows", () => {
  it("shows connecting for the profile being connected while the call runs, whatever the last answer said", () => {
    const { state } = run([...connectA, { type: "connectStarted", profileId: "b" }, { poll: status("connected", "a") }]);
    const view = sessionView(state);
    assert.equal(view.word, "connecting");
    assert.equal(view.profileId, "b");
    assert.equal(view.active, true);
  });

  it("keeps a rejected connect's sentence over later answers without a message, until the user acts", () => {
    const failed = run([
      { type: "connectStarted", profileId: "a" },
      { type: "connectFailed", message: "VPN config not found for profile: a" },
      { poll: status("disconnected") },
    ]);
    assert.equal(sessionView(failed.state).message, "VPN config not found for profile: a");
    const retried = reduceSession(failed.state, { type: "connectStarted", profileId: "a" }).state;
    assert.equal(sessionView(retried).message, "");
  });

  it("counts connected time from the first connected answer and starts again after a reconnect", () => {
    const steps: Step[] = [
      { type: "connectStarted", profileId: "a" },
      { type: "connectSucceeded" },
      { poll: status("connected", "a"), at: 1000 },
      { poll: status("connected", "a"), at: 2000 },
    ];
    assert.equal(sessionView(run(steps).state).connectedSince, 1000);
    const again = run([...steps, { poll: status("connecting", "a"), at: 3000 }, { poll: status("connected", "a"), at: 4000 }]);
    assert.equal(sessionView(again.state).connectedSince, 4000);
    assert.equal(sessionView(run([...steps, { poll: status("disconnected"), at: 5000 }]).state).connectedSince, null);
  });

  it("ignores a failed status answer that was asked for before the last action", () => {
    const { state } = run([...connectA, { type: "disconnectStarted" }]);
    const after = reduceSession(state, { type: "statusFailed", message: "Host gone.", epoch: state.epoch - 1 }).state;
    assert.equal(sessionView(after).message, "");
    const current = reduceSession(state, { type: "statusFailed", message: "Host gone.", epoch: state.epoch }).state;
    assert.equal(sessionView(current).message, "Host gone.");
  });
});
