import assert from "node:assert/strict";
import { it } from "node:test";
import { disconnectedStatus, initialSession, reduceSession, type DropEffect, type SessionEvent, type SessionView, sessionView } from "../src/logic/session";
import type { StatusWord } from "../src/native/types";

// A step is an event, or a status answer [word, profileId, message, at ms] asked for now or (stale)
// before the step before it; the word "failed" stands for a failed status request.
type Answer = [StatusWord | "failed", string?, string?, number?];
type Step = SessionEvent | Answer | { stale: Answer };

function run(steps: Step[]): { view: SessionView; drops: DropEffect[] } {
  let state = initialSession;
  let previous = state.epoch;
  const drops: DropEffect[] = [];
  for (const step of steps) {
    const [answer, epoch] = Array.isArray(step) ? [step, state.epoch] : "stale" in step ? [step.stale, previous] : [undefined, 0];
    const [word, profileId = "", message = "", now = 0] = answer ?? [];
    let event = step as SessionEvent;
    if (word === "failed") event = { type: "statusFailed", message, epoch };
    else if (word !== undefined) event = { type: "status", status: { ...disconnectedStatus, state: word, profileId, message }, epoch, now };
    previous = state.epoch;
    const result = reduceSession(state, event);
    state = result.state;
    drops.push(...result.effects);
  }
  return { view: sessionView(state), drops };
}

const start = (profileId = "a"): SessionEvent => ({ type: "connectStarted", profileId });
const ok: SessionEvent = { type: "connectSucceeded" };
const bye: SessionEvent[] = [{ type: "disconnectStarted" }, { type: "disconnectFinished" }];
const up: Step[] = [start(), ok, ["connecting", "a"], ["connected", "a"]];
const auth = "Authentication failed - check your username and password.";
const dropA = (message = ""): DropEffect[] => [{ type: "dropped", profileId: "a", message }];

const cases: [name: string, steps: Step[], view: Partial<SessionView>, drops?: DropEffect[]][] = [
  ["the user's own disconnect is not a drop", [...up, ...bye, ["disconnected"]], { word: "disconnected" }],
  ["an up session going down is one drop with the system's sentence", [...up, ["disconnected", "", "Closed"], ["disconnected", "", "Closed"]],
    { word: "disconnected", message: "Closed" }, dropA("Closed")],
  ["a start failing before it was up is not a drop", [start(), ok, ["connecting", "a"], ["disconnected", "", auth]], { word: "disconnected", message: auth }],
  ["reconnecting is not a drop, its end after being up is", [...up, ["connecting", "a"], ["connected", "a"], ["disconnected"]], { word: "disconnected" }, dropA()],
  ["a session found running at load is the user's", [["connected", "a"], ["disconnected"]], { word: "disconnected" }, dropA()],
  ["switching profiles is not a drop", [...up, start("b"), ["disconnected"], ok, ["connected", "b"]], { word: "connected", profileId: "b" }],
  ["a disconnect during the connect call leaves nothing wanted", [start(), ...bye, ["disconnected"]], { word: "disconnected", active: false }],
  ["answers asked for before a disconnect do not bring the session back",
    [...up, bye[0]!, { stale: ["connected", "a"] }, bye[1]!, { stale: ["connected", "a"] }, ["disconnected"]], { word: "disconnected" }],
  ["a failed answer asked for before the last action is ignored", [...up, bye[0]!, { stale: ["failed", "", "Host gone."] }], { message: "" }],
  ["a failed answer asked for now is shown", [...up, bye[0]!, ["failed", "", "Host gone."]], { message: "Host gone." }],
  ["the profile being connected shows connecting whatever the answers say", [...up, start("b"), ["connected", "a"]],
    { word: "connecting", profileId: "b", active: true }],
  ["a rejected connect's sentence outlives later answers", [start(), { type: "connectFailed", message: "No config" }, ["disconnected"]],
    { word: "disconnected", message: "No config" }],
  ["the sentence goes when the user acts again", [start(), { type: "connectFailed", message: "No config" }, start()], { message: "" }],
  ["connected time counts from the first connected answer", [start(), ok, ["connected", "a", "", 1000], ["connected", "a", "", 2000]],
    { connectedSince: 1000 }],
  ["connected time starts again after a reconnect", [start(), ok, ["connected", "a", "", 1000], ["connecting", "a", "", 3000], ["connected", "a", "", 4000]],
    { connectedSince: 4000 }],
  ["connected time ends with the session", [start(), ok, ["connected", "a", "", 1000], ["disconnected", "", "", 5000]], { connectedSince: null }, dropA()],
];

for (const [name, steps, expected, drops = []] of cases) {
  it(`session: ${name}`, () => {
    const { view, drops: seen } = run(steps);
    assert.deepEqual(seen, drops);
    assert.deepEqual(Object.fromEntries(Object.keys(expected).map((key) => [key, view[key as keyof SessionView]])), expected);
  });
}
