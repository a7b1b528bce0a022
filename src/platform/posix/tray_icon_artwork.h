#pragma once
// The application's icon for the desktop's panel and notifications, read from the same icon file
// that the Windows executable carries as its icon group (compiled into the Linux build).

#include <cstdint>
#include <span>
#include <vector>

namespace varnel::platform {

// One square image, rows top to bottom, each pixel four bytes A, R, G, B (ARGB32 in network byte
// order, as the panel's icon properties carry it), alpha not premultiplied.
struct IconPixmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> argb;
};

// The uncompressed 32-bit images of an icon file, in the file's order. PNG-compressed images and
// anything malformed are left out; a file that is not an icon file gives none.
std::vector<IconPixmap> decodeIconFile(std::span<const std::uint8_t> file);

// The application's images, decoded once.
const std::vector<IconPixmap>& trayIconPixmaps();

// The largest image no wider than width, else the smallest; null when there are none.
const IconPixmap* pixmapNearest(const std::vector<IconPixmap>& pixmaps, int width);

}  // namespace varnel::platform
