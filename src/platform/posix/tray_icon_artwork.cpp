#include "platform/posix/tray_icon_artwork.h"

#include <cstddef>

namespace varnel::platform {

// Generated from src/app/resources/varnel.ico by the build.
extern const unsigned char kTrayIconArtwork[];
extern const std::size_t kTrayIconArtworkSize;

namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kBitmapHeaderSize = 40;
constexpr int kLargestSide = 256;

std::uint32_t readLe(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

// A 32-bit bitmap without compression: the colour rows come bottom-up in B, G, R, A order and are
// followed by a 1-bit mask that the alpha channel makes redundant.
bool decodeBitmap(std::span<const std::uint8_t> image, IconPixmap& out) {
    if (image.size() < kBitmapHeaderSize || readLe(image, 0, 4) != kBitmapHeaderSize) return false;
    const auto width = static_cast<std::int32_t>(readLe(image, 4, 4));
    const auto doubledHeight = static_cast<std::int32_t>(readLe(image, 8, 4));
    const std::uint32_t bitsPerPixel = readLe(image, 14, 2);
    const std::uint32_t compression = readLe(image, 16, 4);
    if (width <= 0 || width > kLargestSide || doubledHeight != 2 * width || bitsPerPixel != 32 || compression != 0)
        return false;
    const std::size_t side = static_cast<std::size_t>(width);
    const std::size_t rowBytes = side * 4;
    if (image.size() - kBitmapHeaderSize < rowBytes * side) return false;

    out.width = width;
    out.height = width;
    out.argb.resize(rowBytes * side);
    for (std::size_t row = 0; row < side; ++row) {
        const std::uint8_t* source = image.data() + kBitmapHeaderSize + (side - 1 - row) * rowBytes;
        std::uint8_t* target = out.argb.data() + row * rowBytes;
        for (std::size_t x = 0; x < side; ++x, source += 4, target += 4) {
            target[0] = source[3];
            target[1] = source[2];
            target[2] = source[1];
            target[3] = source[0];
        }
    }
    return true;
}

}  // namespace

std::vector<IconPixmap> decodeIconFile(std::span<const std::uint8_t> file) {
    std::vector<IconPixmap> pixmaps;
    if (file.size() < kDirectorySize || readLe(file, 0, 2) != 0 || readLe(file, 2, 2) != 1) return pixmaps;
    const std::size_t count = readLe(file, 4, 2);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kDirectorySize + i * kEntrySize;
        if (entry + kEntrySize > file.size()) break;
        const std::size_t size = readLe(file, entry + 8, 4);
        const std::size_t offset = readLe(file, entry + 12, 4);
        if (offset > file.size() || size > file.size() - offset) continue;
        IconPixmap pixmap;
        if (decodeBitmap(file.subspan(offset, size), pixmap)) pixmaps.push_back(std::move(pixmap));
    }
    return pixmaps;
}

const std::vector<IconPixmap>& trayIconPixmaps() {
    // Never destroyed: a detached tray thread may still answer a panel while the process exits.
    static const auto* const pixmaps = new std::vector<IconPixmap>(decodeIconFile({kTrayIconArtwork, kTrayIconArtworkSize}));
    return *pixmaps;
}

const IconPixmap* pixmapNearest(const std::vector<IconPixmap>& pixmaps, int width) {
    const IconPixmap* best = nullptr;
    for (const IconPixmap& pixmap : pixmaps) {
        if (pixmap.width <= width) {
            if (best == nullptr || best->width > width || pixmap.width > best->width) best = &pixmap;
        } else if (best == nullptr || (best->width > width && pixmap.width < best->width)) {
            best = &pixmap;
        }
    }
    return best;
}

}  // namespace varnel::platform
