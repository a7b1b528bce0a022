#include "app/desktop_page.h"

#include <filesystem>
#include <fstream>

#include "app/json_reader.h"
#include "app/json_writer.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace varnel {

namespace {

namespace fs = std::filesystem;

// Defines window.__varnelHost before the bundle runs. Requests and answers are the JSON-lines
// protocol's objects; the first error before the start (a bundle that cannot be loaded, or that
// throws) is kept for the failure page.
constexpr char kHostScriptBeforeModules[] = R"JS((function () {
  "use strict";
  var channels = window.webkit.messageHandlers;
  var pending = new Map();
  var listeners = [];
  var nextId = 1;
  var registry = null;
  var failure = null;
  var started = false;
  function hostError(message) {
    var error = new Error(message);
    error.code = "EHOST";
    error.userInfo = null;
    return error;
  }
  function report(message) { channels.varnelHost.postMessage(JSON.stringify(message)); }
  window.addEventListener("error", function (event) {
    if (started || failure !== null) return;
    if (event.target instanceof HTMLScriptElement) failure = "The file could not be loaded.";
    else failure = "The bundle stopped with an error: " + (event.error && event.error.message ? event.error.message : event.message);
  }, true);
  var host = {
    modules: )JS";

constexpr char kHostScriptAfterModules[] = R"JS(,
    call: function (module, method, args) {
      return new Promise(function (resolve, reject) {
        var id = nextId++;
        var request = { id: id, module: module, method: method };
        if (args !== undefined) request.args = args;
        var text;
        try { text = JSON.stringify(request); } catch (e) { reject(hostError("The request cannot be sent: " + e.message)); return; }
        pending.set(id, { resolve: resolve, reject: reject });
        channels.varnel.postMessage(text);
      });
    },
    addEventListener: function (listener) {
      var entry = { listener: listener };
      listeners.push(entry);
      return function () {
        var index = listeners.indexOf(entry);
        if (index >= 0) listeners.splice(index, 1);
      };
    },
    registerAppRegistry: function (appRegistry) { registry = appRegistry; },
    _receive: function (message) {
      if (typeof message.event === "string") {
        listeners.slice().forEach(function (entry) {
          try { entry.listener(message.event, message.args); } catch (e) { console.error(e); }
        });
        return;
      }
      var call = pending.get(message.id);
      if (call === undefined) return;
      pending.delete(message.id);
      if ("result" in message) {
        call.resolve(message.result);
      } else if ("error" in message) {
        var error = new Error(message.error.message);
        error.code = message.error.code;
        error.userInfo = message.error.userInfo;
        call.reject(error);
      } else {
        call.reject(hostError(message.hostError));
      }
    },
    _start: function () {
      if (started) return;
      if (failure === null && registry === null)
        failure = "The bundle did not hand its registry to __varnelHost.registerAppRegistry.";
      if (failure === null) {
        try {
          registry.runApplication("VarnelMac", { rootTag: document.getElementById("root"), initialProps: {} });
        } catch (e) {
          failure = "runApplication(\"VarnelMac\") failed: " + (e && e.message ? e.message : String(e));
        }
      }
      started = true;
      if (failure !== null) { report({ failed: failure }); return; }
      requestAnimationFrame(function () { setTimeout(function () { report({ firstFrame: true }); }, 0); });
    }
  };
  Object.defineProperty(window, "__varnelHost", { value: Object.freeze(host), enumerable: true });
})();)JS";

constexpr char kPageHead[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>VarnelVPN</title>\n"
    "<style>html,body,#root{height:100%;margin:0}</style></head>\n"
    "<body><div id=\"root\"></div>\n"
    "<script>";
constexpr char kPageTail[] =
    "</script>\n"
    "<script src=\"index.windows.bundle\"></script>\n"
    "<script>window.__varnelHost._start();</script>\n"
    "</body></html>\n";

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
           c == '~' || c == '/';
}

// Inside an inline script, "</script>" or "<!--" in a constant would end or derail the element; a
// "<" only occurs inside JSON strings, where its escape reads the same.
std::string safeInScript(std::string_view json) {
    std::string out;
    for (char c : json) {
        if (c == '<')
            out += "\\u003c";
        else
            out += c;
    }
    return out;
}

void writeUtf8(bridge::JSValueWriter& writer, std::string_view text) { writer.WriteString(platform::utf8ToWide(text)); }

void writeModule(JsonTextWriter& writer, const ModuleRegistry::Module& module) {
    writer.WriteObjectBegin();
    writer.WritePropertyName(u"methods");
    writer.WriteArrayBegin();
    for (const std::string& member : module.memberOrder)
        if (module.methods.find(member) != module.methods.end()) writeUtf8(writer, member);
    // Every module with constants answers getConstants, as the JSON-lines host does.
    if (!module.constantProviders.empty() && module.methods.find("getConstants") == module.methods.end())
        writeUtf8(writer, "getConstants");
    writer.WriteArrayEnd();
    writer.WritePropertyName(u"constants");
    writer.WriteObjectBegin();
    for (const auto& provider : module.constantProviders) provider(writer);
    writer.WriteObjectEnd();
    writer.WriteObjectEnd();
}

}  // namespace

BundleLocation bundleBeside(const platform::PathText& executablePath) {
    const std::size_t cut = executablePath.rfind(platform::kPathSeparator);
    const platform::PathText folder =
        (cut == platform::PathText::npos ? platform::PathText() : executablePath.substr(0, cut)) + platform::kPathSeparator +
        platform::utf8ToPathText(kBundleFolderName);
    const platform::PathText root = platform::utf8ToPathText("file://") + platform::folderOfPath(executablePath) +
                                    platform::kPathSeparator + platform::utf8ToPathText(kBundleFolderName) +
                                    platform::kPathSeparator;
    return {folder + platform::kPathSeparator + platform::utf8ToPathText(kBundleFileName),
            fileUri(platform::pathTextToUtf8(folder)) + "/", root};
}

std::string fileUri(std::string_view utf8Path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : utf8Path) {
        if (unreserved(c)) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri;
}

std::optional<std::string> bundleProblem(const platform::PathText& bundleFile) {
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(bundleFile), error);
    if (error) return error.message();
    if (fs::is_directory(status)) return std::string("It is a folder, not a file");
    if (!fs::is_regular_file(status)) return std::string("It is not a regular file");
    std::ifstream in(fs::path(bundleFile), std::ios::binary);
    if (!in) return std::string("It cannot be opened for reading");
    return std::nullopt;
}

std::string bundleFailureText(const platform::PathText& bundleFile, std::string_view reason) {
    std::string text = "VarnelVPN could not start its interface.\n\nBundle file: " + platform::pathTextForMessage(bundleFile) +
                       "\nProblem: " + std::string(reason);
    if (text.back() != '.') text += '.';
    return text + "\n";
}

std::string noWebViewText(const BundleLocation& bundle) {
    return "VarnelVPN shows no interface in this build: it has no web view to run it in.\n\nBundle root: " +
           platform::pathTextToUtf8(bundle.root) + "\nBundle file: " + kBundleFileName + "\n";
}

std::string describeModules(const ModuleRegistry& registry) {
    JsonTextWriter writer;
    writer.WriteObjectBegin();
    for (const auto& module : registry.modules()) {
        writer.WritePropertyName(platform::utf8ToWide(module->name));
        writeModule(writer, *module);
    }
    writer.WriteObjectEnd();
    return writer.take();
}

std::string desktopPageHtml(std::string_view modulesJson) {
    return kPageHead + std::string(kHostScriptBeforeModules) + safeInScript(modulesJson) + kHostScriptAfterModules + kPageTail;
}

HostReport parseHostReport(std::string_view text) {
    const JsonParseResult parsed = parseJson(text);
    const bridge::JSValueObject* report = parsed.value ? parsed.value->asObject() : nullptr;
    if (report == nullptr) return {};
    if (const bridge::JSValue* failed = report->find("failed")) {
        const std::string* reason = failed->asString();
        return {HostReport::Kind::Failed, reason ? *reason : std::string("The interface did not say why")};
    }
    if (report->find("firstFrame") != nullptr) return {HostReport::Kind::FirstFrame, {}};
    return {};
}

}  // namespace varnel
