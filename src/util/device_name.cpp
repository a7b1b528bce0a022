#include "util/device_name.h"

#include <algorithm>
#include <array>
#include <cwctype>

#include "platform/text.h"

namespace varnel::util {

namespace {

constexpr std::array<std::string_view, 4> kProductPlaceholders = {"System Product Name", "To be filled by O.E.M.", "Default string",
                                                                  "Product Name"};
constexpr std::string_view kManufacturerPlaceholder = "To be filled by O.E.M.";

// The comparison of the C library in its "C" locale: only A to Z fold.
char16_t foldAscii(char16_t unit) { return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit; }

bool equalsIgnoringCase(std::u16string_view text, std::string_view ascii) {
    return text.size() == ascii.size() && std::equal(text.begin(), text.end(), ascii.begin(), [](char16_t unit, char c) {
               return foldAscii(unit) == foldAscii(static_cast<char16_t>(static_cast<unsigned char>(c)));
           });
}

bool isWideSpace(char16_t unit) { return std::iswspace(static_cast<wint_t>(unit)) != 0; }

}  // namespace

std::u16string trimWide(std::u16string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), isWideSpace);
    const auto last = std::find_if_not(text.rbegin(), std::make_reverse_iterator(first), isWideSpace).base();
    return std::u16string(first, last);
}

std::string cleanMarketingName(std::string name) {
    std::erase(name, '\r');
    std::replace(name.begin(), name.end(), '\n', ' ');
    const auto first = name.find_first_not_of(" \t");
    if (first == std::string::npos) return platform::kDeviceFallbackName;
    const auto last = name.find_last_not_of(" \t");
    return name.substr(first, last - first + 1);
}

std::string deviceMarketingName(platform::DeviceInfoSource& source) {
    const std::u16string product = trimWide(source.productName());
    const bool placeholder = std::any_of(kProductPlaceholders.begin(), kProductPlaceholders.end(),
                                         [&](std::string_view p) { return equalsIgnoringCase(product, p); });
    if (!product.empty() && !placeholder) return cleanMarketingName(platform::wideToUtf8(product));

    const std::u16string manufacturer = trimWide(source.manufacturer());
    if (!manufacturer.empty() && !equalsIgnoringCase(manufacturer, kManufacturerPlaceholder))
        return cleanMarketingName(platform::wideToUtf8(manufacturer) + " PC");
    return platform::kDeviceFallbackName;
}

}  // namespace varnel::util
