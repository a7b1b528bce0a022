import assert from "node:assert/strict";
import { beforeEach, describe, it } from "node:test";
import { AppController, hiddenPollMs, shownPollMs } from "../src/logic/controller";
import { sessionView } from "../src/logic/session";
import { disconnectedStatus } from "../src/logic/session";
import { deferred, FakeTunnel, ManualClock, rejection, settle } from "./support/fake_tunnel";
import { scanMenu } from "./support/menu_scanner";

const paris = { id: "par1", name: "Paris", fileName: "paris.ovpn", host: "fr1.vpn.example", port: 443, proto: "tcp" };
const oslo = { id: "osl1", name: "Oslo", fileName: "oslo.ovpn", host: "no1.vpn.example", port: 1194, proto: "udp", needsCredentials: false };

let api: FakeTunnel;
let clock: ManualClock;
let app: AppController;

async function started(setup: (api: FakeTunnel) => void = () => {}): Promise<void> {
  api = new FakeTunnel();
  api.metas = [JSON.stringify(paris), JSON.stringify(oslo)];
  setup(api);
  clock = new ManualClock();
  app = new AppController(api, clock);
  await app.start();
  await settle();
}

async function connectedTo(profileId: string): Promise<void> {
  await app.connect(profileId);
  api.status = { ...disconnectedStatus, state: "connected", profileId };
  await app.refreshStatus();
}

describe("controller: start", () => {
  it("hands the stored settings to the desktop side, and the defaults where none are stored", async () => {
    await started((api) => api.defaults.set("killSwitchEnabled", "true"));
    assert.deepEqual(api.lastArgs("setKillSwitchEnabled"), [true]);
    assert.deepEqual(api.lastArgs("setBlockIpv6Enabled"), [true]);
    assert.deepEqual(api.lastArgs("setMenuBarVisible"), [true]);
  });

  it("lists the profiles, polls once a second while shown and every five seconds while hidden", async () => {
    await started();
    assert.deepEqual(app.state.profiles.map((p) => p.id), ["osl1", "par1"]);
    assert.deepEqual(clock.timers.map((t) => t.ms), [shownPollMs]);
    app.setVisible(false);
    assert.deepEqual(clock.timers.map((t) => t.ms), [hiddenPollMs]);
    const polls = api.called("getStatus").length;
    clock.timers[0]?.callback();
    await settle();
    assert.equal(api.called("getStatus").length, polls + 1);
    assert.deepEqual(clock.timers.map((t) => t.ms), [hiddenPollMs]);
    // The window shown again (appWindowDidShow, or the page becoming visible) asks at once.
    app.setVisible(true);
    await settle();
    assert.equal(api.called("getStatus").length, polls + 2);
    assert.deepEqual(clock.timers.map((t) => t.ms), [shownPollMs]);
    app.stop();
    assert.deepEqual(clock.timers, []);
  });

  it("reads the profile list again when the window is shown again", async () => {
    await started();
    const vienna = { id: "vie1", name: "Vienna", fileName: "vienna.ovpn", host: "at1.vpn.example", port: 443, proto: "udp" };
    api.metas = [...api.metas, JSON.stringify(vienna)];
    app.setVisible(false);
    await settle();
    assert.deepEqual(app.state.profiles.map((p) => p.id), ["osl1", "par1"]);
    app.setVisible(true);
    await settle();
    assert.deepEqual(app.state.profiles.map((p) => p.id), ["osl1", "par1", "vie1"]);
    // Only the profile that came is measured; the others keep their readings.
    assert.deepEqual(api.called("measureTcpLatency").slice(2), [["measureTcpLatency", "at1.vpn.example", 443]]);
    app.stop();
  });

  it("shows the installer's sentence when OpenVPN is missing", async () => {
    await started((api) => (api.helperPresent = false));
    assert.equal(app.state.helper.installed, false);
    assert.equal(app.state.helper.notice, "OpenVPN not found. Install from https://openvpn.net/community-downloads/");
  });
});

describe("controller: connecting", () => {
  beforeEach(() => started());

  it("asks for credentials when none are saved, then saves them and connects with them", async () => {
    await app.connect("par1");
    assert.equal(api.called("connectOvpn").length, 0);
    assert.equal(app.state.credentials?.profileId, "par1");
    await app.submitCredentials("alice", "s3cret");
    assert.deepEqual(api.lastArgs("saveOvpnAuth"), ["par1", "alice", "s3cret"]);
    assert.deepEqual(api.lastArgs("connectOvpn"), ["par1", "paris.ovpn", "alice", "s3cret"]);
    assert.equal(app.state.credentials, null);
  });

  it("refuses an empty user name without saving anything", async () => {
    await app.connect("par1");
    await app.submitCredentials("  ", "pw");
    assert.equal(api.called("saveOvpnAuth").length, 0);
    assert.equal(app.state.credentials?.message, "Enter the user name for this profile.");
  });

  it("connects with the saved credentials left in place, and without asking a profile that needs none", async () => {
    api.auth.set("par1", { username: "alice", password: "pw" });
    await app.connect("par1");
    assert.deepEqual(api.lastArgs("connectOvpn"), ["par1", "paris.ovpn", "", ""]);
    await app.disconnect();
    await app.connect("osl1");
    assert.equal(api.called("readOvpnAuth").filter((c) => c[1] === "osl1").length, 0);
    assert.deepEqual(api.lastArgs("connectOvpn"), ["osl1", "oslo.ovpn", "", ""]);
  });

  it("shows a rejected connect as the system's sentence", async () => {
    api.connectAnswer = () => Promise.reject(rejection("VPN config not found for profile: osl1"));
    await app.connect("osl1");
    const view = sessionView(app.state.session);
    assert.equal(view.word, "disconnected");
    assert.equal(view.message, "VPN config not found for profile: osl1");
  });

  it("shows connecting while the call runs and connected once the system says so", async () => {
    const answer = deferred<void>();
    api.connectAnswer = () => answer.promise;
    const connecting = app.connect("osl1");
    await settle();
    assert.equal(sessionView(app.state.session).word, "connecting");
    api.status = { ...disconnectedStatus, state: "connected", profileId: "osl1", downBps: 2000, upBps: 500 };
    answer.resolve();
    await connecting;
    assert.equal(sessionView(app.state.session).word, "connected");
    assert.deepEqual(app.state.history.at(-1), { down: 2000, up: 500 });
  });
});

describe("controller: apps to close", () => {
  const example = { bundleId: "example.exe", name: "example", path: "C:\\Apps\\example.exe" };

  it("closes the chosen apps when a connected session drops, and not when the user disconnects", async () => {
    await started((api) => api.defaults.set("appsToClose", JSON.stringify([example])));
    await connectedTo("osl1");
    await app.disconnect();
    await settle();
    assert.equal(api.called("terminateApps").length, 0);

    await connectedTo("osl1");
    api.status = { ...disconnectedStatus, message: "Connection closed" };
    await app.refreshStatus();
    await app.refreshStatus();
    await settle();
    assert.deepEqual(api.called("terminateApps"), [["terminateApps", ["example.exe"]]]);
    assert.deepEqual(app.state.closedApps?.names, ["example.exe"]);
    assert.equal(sessionView(app.state.session).message, "Connection closed");
  });

  it("keeps the list in the user defaults, one entry per executable name", async () => {
    await started();
    api.pickedApp = example;
    await app.settings.addAppToClose();
    api.pickedApp = { ...example, bundleId: "EXAMPLE.EXE" };
    await app.settings.addAppToClose();
    assert.deepEqual(JSON.parse(api.defaults.get("appsToClose") ?? ""), [example]);
    await app.settings.removeAppToClose("example.exe");
    assert.deepEqual(JSON.parse(api.defaults.get("appsToClose") ?? ""), []);
  });
});

describe("controller: tray", () => {
  beforeEach(() => started());

  const lastMenu = () => scanMenu(String(api.lastArgs("updateMenuBarMenu")[0]));

  it("describes the profiles as servers and follows the connection", async () => {
    assert.deepEqual(lastMenu(), {
      connected: false,
      serverLabel: "",
      dedicated: [
        { id: "osl1", label: "Oslo" },
        { id: "par1", label: "Paris" },
      ],
    });
    await connectedTo("osl1");
    assert.equal(lastMenu().connected, true);
    assert.equal(lastMenu().serverLabel, "Oslo");
  });

  it("sends the description again only when it changes", async () => {
    const before = api.called("updateMenuBarMenu").length;
    await app.refreshStatus();
    await app.refreshStatus();
    assert.equal(api.called("updateMenuBarMenu").length, before);
  });

  it("acts on the menu's choices", async () => {
    api.auth.set("par1", { username: "alice", password: "pw" });
    app.handleMenuBarAction({ action: "connectDedicated", serverId: "par1" });
    await settle();
    assert.deepEqual(api.lastArgs("connectOvpn"), ["par1", "paris.ovpn", "", ""]);
    app.handleMenuBarAction({ action: "disconnect" });
    await settle();
    assert.equal(api.called("disconnect").length, 1);
    // Quick connect takes the profile last connected.
    app.handleMenuBarAction({ action: "quickConnect" });
    await settle();
    assert.deepEqual(api.lastArgs("connectOvpn")[0], "par1");
  });

  it("brings the window forward when a tray choice needs credentials", async () => {
    app.handleMenuBarAction({ action: "connectDedicated", serverId: "par1" });
    await settle();
    assert.equal(app.state.credentials?.profileId, "par1");
    assert.equal(api.called("activateApp").length, 1);
  });

  it("quick-connects to the fastest server when none was connected before", async () => {
    api.latency.set("fr1.vpn.example", 12);
    api.latency.set("no1.vpn.example", 40);
    await app.profiles.measureAll();
    assert.equal(app.quickConnectProfile()?.id, "par1");
  });
});

describe("controller: profiles", () => {
  beforeEach(() => started());

  it("imports a picked file with its server read from the configuration", async () => {
    api.pickedFile = {
      fileName: "Berlin 1.ovpn",
      content: "client\nproto tcp\nremote de1.vpn.example 443\nauth-user-pass\n",
      sourceDirectory: "/home/me",
    };
    await app.profiles.importProfile();
    const [id, content, fileName] = api.lastArgs("saveOvpnProfile");
    assert.equal(content, api.pickedFile.content);
    assert.equal(fileName, "Berlin 1.ovpn");
    const meta = JSON.parse(String(api.lastArgs("saveOvpnProfileMeta")[1]));
    assert.deepEqual(
      { id: meta.id, name: meta.name, fileName: meta.fileName, host: meta.host, port: meta.port, proto: meta.proto },
      { id, name: "Berlin 1", fileName: "Berlin 1.ovpn", host: "de1.vpn.example", port: 443, proto: "tcp" },
    );
    assert.equal(app.state.selectedId, id);
  });

  it("saves nothing when the dialog is cancelled or the file is empty", async () => {
    await app.profiles.importProfile();
    api.pickedFile = { fileName: "empty.ovpn", content: "", sourceDirectory: "" };
    await app.profiles.importProfile();
    assert.equal(api.called("saveOvpnProfile").length, 0);
    assert.equal(app.state.notice?.text, '"empty.ovpn" is empty or could not be read.');
  });

  it("renames by rewriting the metadata, keeping keys other tools wrote", async () => {
    api.metas = [JSON.stringify({ ...paris, region: "eu-west" })];
    await app.profiles.load();
    await app.profiles.rename("par1", "Paris 2");
    const meta = JSON.parse(String(api.lastArgs("saveOvpnProfileMeta")[1]));
    assert.equal(meta.name, "Paris 2");
    assert.equal(meta.region, "eu-west");
  });

  it("will not delete the profile of the running session", async () => {
    await connectedTo("osl1");
    await app.profiles.remove("osl1");
    assert.equal(api.called("deleteOvpnProfile").length, 0);
    await app.profiles.remove("par1");
    assert.deepEqual(app.state.profiles.map((p) => p.id), ["osl1"]);
  });
});

describe("controller: settings", () => {
  it("stores a switch the system took, and puts the old value back when it is refused", async () => {
    await started();
    await app.settings.setKillSwitch(true);
    assert.equal(api.defaults.get("killSwitchEnabled"), "true");
    api.setBlockIpv6Enabled = () => Promise.reject(rejection("The host cannot take this request."));
    await app.settings.setBlockIpv6(false);
    assert.equal(app.state.settings.blockIpv6, true);
    assert.equal(api.defaults.has("blockIpv6Enabled"), false);
    assert.equal(app.state.notice?.text, "The host cannot take this request.");
  });
});
