import assert from "node:assert/strict";
import { it } from "node:test";
import { AppController, hiddenPollMs, shownPollMs } from "../src/logic/controller";
import { disconnectedStatus, sessionView } from "../src/logic/session";
import type { StatusWord } from "../src/native/types";
import { FakeTunnel, ManualClock, rejection, settle } from "./support/fake_tunnel";

const paris = { id: "par1", name: "Paris", fileName: "paris.ovpn", host: "fr1.example", port: 443 };
const oslo = { id: "osl1", name: "Oslo", fileName: "oslo.ovpn", host: "no1.example", port: 1194, needsCredentials: false };

async function started(setup: (fake: FakeTunnel) => unknown = () => {}) {
  const fake = new FakeTunnel();
  fake.metas = [JSON.stringify(paris), JSON.stringify(oslo)];
  setup(fake);
  const clock = new ManualClock();
  const app = new AppController(fake.api, clock);
  await app.start();
  await settle();
  const poll = async (state: StatusWord, profileId = "", message = "") => {
    fake.status = { ...disconnectedStatus, state, profileId, message };
    await app.refreshStatus();
  };
  return { fake, app, poll, clock, view: () => sessionView(app.state.session) };
}

it("hands the stored switches to the desktop side at start, and the defaults where none are stored", async () => {
  const { fake } = await started((f) => f.defaults.set("killSwitchEnabled", "true"));
  assert.deepEqual([fake.called("setKillSwitchEnabled"), fake.called("setBlockIpv6Enabled"), fake.called("setMenuBarVisible")], [[[true]], [[true]], [[true]]]);
});

it("polls each second while shown, every five while hidden; shown again, it asks at once and reads the list again", async () => {
  const { fake, app, clock } = await started();
  const seen = () => [fake.called("getStatus").length, clock.timers.map((t) => t.ms), app.state.profiles.map((p) => p.id)];
  app.setVisible(false);
  fake.metas.push(JSON.stringify({ id: "vie1", name: "Vienna", host: "at1.example", port: 443 }));
  clock.timers[0]?.callback();
  await settle();
  assert.deepEqual(seen(), [2, [hiddenPollMs], ["osl1", "par1"]]);
  app.setVisible(true);
  await settle();
  // Only the profile that came is measured; the others keep their readings.
  assert.deepEqual([seen(), fake.called("measureTcpLatency").slice(2)], [[3, [shownPollMs], ["osl1", "par1", "vie1"]], [["at1.example", 443]]]);
  app.stop();
  assert.deepEqual(clock.timers, []);
});

it("shows the installer's sentence when OpenVPN is missing", async () => {
  const hint = "OpenVPN not found. Install from https://openvpn.net/community-downloads/";
  const { app } = await started((f) => Object.assign(f.answers, { pingHelper: () => Promise.reject(rejection("gone")), installHelper: () => ({ installed: false, hint }) }));
  assert.deepEqual(app.state.helper, { checked: true, installed: false, notice: hint });
});

// Which connects ask for credentials first, and what reaches connectOvpn otherwise.
const connects: [name: string, profileId: string, saved: boolean, asks: boolean][] = [
  ["no credentials saved: the form", "par1", false, true],
  ["credentials saved: they stay where they are", "par1", true, false],
  ["a profile that needs none is not asked", "osl1", false, false],
];
for (const [name, profileId, saved, asks] of connects) {
  it(`connect, ${name}`, async () => {
    const { fake, app } = await started((f) => saved && f.auth.set(profileId, { username: "al", password: "pw" }));
    await app.connect(profileId);
    assert.equal(app.state.credentials?.profileId, asks ? profileId : undefined);
    assert.deepEqual(fake.called("connectOvpn"), asks ? [] : [[profileId, `${profileId === "par1" ? "paris" : "oslo"}.ovpn`, "", ""]]);
  });
}

it("the credentials form refuses an empty user name, then saves and connects with what was typed", async () => {
  const { fake, app } = await started();
  await app.connect("par1");
  await app.submitCredentials("  ", "pw");
  assert.equal(app.state.credentials?.message, "Enter the user name for this profile.");
  await app.submitCredentials("alice", "s3cret");
  assert.deepEqual([fake.called("saveOvpnAuth"), fake.called("connectOvpn"), app.state.credentials],
    [[["par1", "alice", "s3cret"]], [["par1", "paris.ovpn", "alice", "s3cret"]], null]);
});

it("shows connecting while the call runs, connected with a rate sample once the system says so, and a rejection's sentence", async () => {
  const { fake, app, view } = await started();
  let finish = () => {};
  fake.answers.connectOvpn = () => new Promise<void>((resolve) => (finish = resolve));
  const connecting = app.connect("osl1");
  await settle();
  assert.equal(view().word, "connecting");
  fake.status = { ...disconnectedStatus, state: "connected", profileId: "osl1", downBps: 2000, upBps: 500 };
  finish();
  await connecting;
  assert.deepEqual([view().word, app.state.history.at(-1)], ["connected", { down: 2000, up: 500 }]);
  await app.disconnect();
  fake.answers.connectOvpn = () => Promise.reject(rejection("VPN config not found for profile: osl1"));
  await app.connect("osl1");
  assert.deepEqual([view().word, view().message], ["disconnected", "VPN config not found for profile: osl1"]);
});

it("closes the chosen apps once when a connected session drops, not when the user disconnects", async () => {
  const { fake, app, poll } = await started((f) => f.defaults.set("appsToClose", '[{"bundleId":"example.exe"}]'));
  for (const userEnds of [true, false]) {
    await app.connect("osl1");
    await poll("connected", "osl1");
    if (userEnds) await app.disconnect();
    await poll("disconnected", "", "Connection closed");
    await poll("disconnected", "", "Connection closed");
    await settle();
    assert.deepEqual(fake.called("terminateApps"), userEnds ? [] : [[["example.exe"]]]);
  }
  assert.deepEqual(app.state.closedApps?.names, ["example.exe"]);
});

it("the tray menu follows the connection, is sent only when it changes, and brings the window forward for credentials", async () => {
  const { fake, app, poll } = await started();
  const menus = () => fake.called("updateMenuBarMenu").map(([text]) => JSON.parse(String(text)));
  assert.deepEqual(menus().at(-1), { connected: false, serverLabel: "", dedicated: [{ id: "osl1", label: "Oslo" }, { id: "par1", label: "Paris" }] });
  const sent = menus().length;
  await app.refreshStatus();
  assert.equal(menus().length, sent);
  app.handleMenuBarAction({ action: "connectDedicated", serverId: "osl1" });
  await settle();
  await poll("connected", "osl1");
  assert.deepEqual([menus().at(-1).connected, menus().at(-1).serverLabel], [true, "Oslo"]);
  app.handleMenuBarAction({ action: "disconnect" });
  await settle();
  app.handleMenuBarAction({ action: "connectDedicated", serverId: "par1" });
  await settle();
  assert.deepEqual([fake.called("disconnect").length, app.state.credentials?.profileId, fake.called("activateApp").length], [1, "par1", 1]);
});

it("quick connect takes the fastest profile, then the one last connected", async () => {
  const { fake, app } = await started((f) => (f.answers.measureTcpLatency = (host: string) => (host === "fr1.example" ? 12 : 40)));
  assert.equal(app.quickConnectProfile()?.id, "par1");
  await app.connect("osl1");
  await app.disconnect();
  app.handleMenuBarAction({ action: "quickConnect" });
  await settle();
  assert.deepEqual(fake.called("connectOvpn").map(([id]) => id), ["osl1", "osl1"]);
});

it("imports a picked file with the server its configuration names; a cancel or an empty file saves nothing", async () => {
  const { fake, app } = await started();
  for (const picked of [null, { fileName: "empty.ovpn", content: " \n", sourceDirectory: "" }]) {
    fake.answers.pickOvpnFile = () => picked;
    await app.profiles.importProfile();
  }
  assert.deepEqual([fake.called("saveOvpnProfile"), app.state.notice?.text], [[], '"empty.ovpn" is empty or could not be read.']);
  const content = "client\nproto tcp\nremote de1.example 443\nauth-user-pass\n";
  fake.answers.pickOvpnFile = () => ({ fileName: "Berlin 1.ovpn", content, sourceDirectory: "/home/me" });
  await app.profiles.importProfile();
  const [id, saved, fileName] = fake.called("saveOvpnProfile")[0] ?? [];
  const p = app.state.profiles.find((profile) => profile.id === id);
  assert.deepEqual([saved, fileName, app.state.selectedId, p?.name, p?.host, p?.port, p?.proto, p?.needsCredentials],
    [content, "Berlin 1.ovpn", id, "Berlin 1", "de1.example", 443, "tcp", true]);
});

it("renames through the metadata, and will not delete the profile of the running session", async () => {
  const { fake, app, poll } = await started();
  assert.equal(await app.profiles.rename("par1", "Paris 2"), true);
  await app.connect("osl1");
  await poll("connected", "osl1");
  await app.profiles.remove("osl1");
  await app.profiles.remove("par1");
  assert.deepEqual([fake.called("deleteOvpnProfile"), app.state.profiles.map((p) => p.name), app.state.notice?.text], [[["par1"]], ["Oslo"], 'Deleted "Paris 2".']);
});

it("a switch the system refuses keeps its old value and says why; apps to close are kept one per name", async () => {
  const { fake, app } = await started();
  await app.settings.setKillSwitch(true);
  fake.answers.setBlockIpv6Enabled = () => Promise.reject(rejection("The host cannot take this request."));
  await app.settings.setBlockIpv6(false);
  assert.deepEqual([fake.defaults.get("killSwitchEnabled"), fake.defaults.has("blockIpv6Enabled"), app.state.settings.blockIpv6, app.state.notice?.text],
    ["true", false, true, "The host cannot take this request."]);
  const example = { bundleId: "example.exe", name: "example", path: "C:\\Apps\\example.exe" };
  for (const bundleId of ["example.exe", "EXAMPLE.EXE"]) {
    fake.answers.pickApp = () => ({ ...example, bundleId });
    await app.settings.addAppToClose();
  }
  assert.deepEqual(JSON.parse(fake.defaults.get("appsToClose") ?? ""), [example]);
  await app.settings.removeAppToClose("example.exe");
  assert.equal(fake.defaults.get("appsToClose"), "[]");
});
