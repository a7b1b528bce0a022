#include "util/file_pickers.h"

#include "bridge/worker.h"
#include "platform/files.h"
#include "util/pick_result.h"

namespace varnel::util {

namespace {

char separator() { return static_cast<char>(platform::kPathSeparator); }

platform::OpenFileRequest appRequest() {
    return {"Choose an app to close when the VPN drops", {{"Applications (*.exe)", "*.exe"}, {"All files", "*.*"}}, platform::applicationsFolder()};
}

platform::OpenFileRequest ovpnFileRequest() {
    return {"Import OpenVPN Profile (.ovpn)", {{"OpenVPN config (*.ovpn)", "*.ovpn"}, {"All files", "*.*"}}, {}};
}

}  // namespace

void pickApp(platform::ThreadLauncher& threads, std::shared_ptr<platform::FileDialog> dialog, const bridge::Promise<bridge::JSValueObject>& promise) {
    bridge::startWorker(threads, "pickApp", promise, [dialog = std::move(dialog)](const bridge::Promise<bridge::JSValueObject>& p) {
        const std::optional<platform::PathText> path = dialog->chooseFileToOpen(appRequest());
        p.resolve(path ? appPickResult(platform::pathTextToUtf8(*path), separator()) : bridge::JSValueObject{});
    });
}

void pickOvpnFile(platform::ThreadLauncher& threads, std::shared_ptr<platform::FileDialog> dialog, const bridge::Promise<bridge::JSValueObject>& promise) {
    bridge::startWorker(threads, "pickOvpnFile", promise, [dialog = std::move(dialog)](const bridge::Promise<bridge::JSValueObject>& p) {
        const std::optional<platform::PathText> path = dialog->chooseFileToOpen(ovpnFileRequest());
        if (!path) {
            p.resolve(bridge::JSValueObject{});
            return;
        }
        // A file that cannot be read still answers, with empty content.
        std::string bytes = platform::readWholeFile(*path).value_or(std::string());
        p.resolve(ovpnFilePickResult(platform::pathTextToUtf8(*path), std::move(bytes), separator()));
    });
}

}  // namespace varnel::util
