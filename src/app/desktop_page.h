#pragma once
// The page the desktop application shows in its window: where the interface bundle lies, the page
// that defines __varnelHost and runs the bundle, and the plain text shown when the bundle cannot run.

#include <optional>
#include <string>
#include <string_view>

#include "app/module_registry.h"
#include "platform/files.h"

namespace varnel {

inline constexpr char kBundleFolderName[] = "Bundle";
inline constexpr char kBundleFileName[] = "index.windows.bundle";
// The page's channels to the host: requests of the JSON-lines protocol, and the host script's own
// reports (a failed start, the first frame).
inline constexpr char kRequestChannel[] = "varnel";
inline constexpr char kHostChannel[] = "varnelHost";

struct BundleLocation {
    platform::PathText file;  // the bundle file itself
    std::string baseUri;      // the bundle folder as a file: URI ending in "/"
    // The bundle root as a host that takes a folder text is given it: "file://", the executable's
    // folder as the system cuts it, then the folder's name between separators, nothing encoded and
    // nothing merged (in a drive's root: "file://C:\\Bundle\").
    platform::PathText root = {};
};

// The bundle folder beside the executable and the bundle file in it.
BundleLocation bundleBeside(const platform::PathText& executablePath);

// A file: URI for an absolute path, every byte outside the unreserved characters and "/"
// percent-encoded.
std::string fileUri(std::string_view utf8Path);

// Why the bundle file cannot be run as it is, or none when it is a readable file.
std::optional<std::string> bundleProblem(const platform::PathText& bundleFile);

// What the window says when the interface cannot start.
std::string bundleFailureText(const platform::PathText& bundleFile, std::string_view reason);

// What the window says where the build has no web view to run the bundle in.
std::string noWebViewText(const BundleLocation& bundle);

// Each module's method names in table order and its constants, as the page's __varnelHost.modules.
std::string describeModules(const ModuleRegistry& registry);

// The whole page: root element, host script with modules (JSON text), the bundle's script, start.
std::string desktopPageHtml(std::string_view modulesJson);

// A report the host script posts on the host channel.
struct HostReport {
    enum class Kind { Failed, FirstFrame, Unknown };
    Kind kind = Kind::Unknown;
    std::string reason;  // for Failed
};
HostReport parseHostReport(std::string_view text);

}  // namespace varnel
