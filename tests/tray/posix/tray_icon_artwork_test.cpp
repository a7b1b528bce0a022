#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/tray_icon_artwork.h"

namespace varnel::platform {

extern const unsigned char kTrayIconArtwork[];
extern const std::size_t kTrayIconArtworkSize;

namespace {

std::vector<std::uint8_t> artwork() { return {kTrayIconArtwork, kTrayIconArtwork + kTrayIconArtworkSize}; }

std::vector<int> widths(const std::vector<IconPixmap>& pixmaps) {
    std::vector<int> result;
    for (const IconPixmap& p : pixmaps) result.push_back(p.width);
    return result;
}

// Where the directory says the image of entry index starts.
std::size_t imageOffset(const std::vector<std::uint8_t>& file, std::size_t index) {
    std::uint32_t offset = 0;
    std::memcpy(&offset, file.data() + 6 + index * 16 + 12, 4);
    return offset;
}

TEST(TrayIconArtwork, EveryBitmapOfTheIconFileIsReadAndThePngIsLeftOut) {
    const std::vector<IconPixmap>& pixmaps = trayIconPixmaps();
    EXPECT_EQ(widths(pixmaps), (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 128}));
    for (const IconPixmap& p : pixmaps) EXPECT_EQ(p.argb.size(), static_cast<std::size_t>(p.width * p.height * 4));
    // Rows come top first: the shield's flat top is above its point, so the first opaque row is
    // wider than the last one.
    const IconPixmap& big = pixmaps.back();
    const auto opaque = [&](int row) {
        int count = 0;
        for (int x = 0; x < big.width; ++x) count += big.argb[(row * big.width + x) * 4] > 128;
        return count;
    };
    int first = 0, last = big.height - 1;
    while (first < big.height && opaque(first) == 0) ++first;
    while (last > 0 && opaque(last) == 0) --last;
    EXPECT_GT(opaque(first + 2), opaque(last - 2));
}

TEST(TrayIconArtwork, DamagedFilesGiveWhatIsWholeInThem) {
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        std::vector<int> widths;
    };
    const std::vector<Case> cases{
        {"header only", [](auto& f) { f.resize(6); }, {}},
        {"empty", [](auto& f) { f.clear(); }, {}},
        {"a cursor file", [](auto& f) { f[2] = 2; }, {}},
        {"cut inside the third image", [](auto& f) { f.resize(imageOffset(f, 2) + 100); }, {16, 20}},
        {"cut inside the directory", [](auto& f) { f.resize(6 + 16 * 2 + 5); }, {}},
        {"second entry points past the end", [](auto& f) { f[6 + 16 + 15] = 0x7f; }, {16, 24, 32, 40, 48, 64, 128}},
        {"first image 24-bit", [](auto& f) { f[imageOffset(f, 0) + 14] = 24; }, {20, 24, 32, 40, 48, 64, 128}},
        {"first image compressed", [](auto& f) { f[imageOffset(f, 0) + 16] = 3; }, {20, 24, 32, 40, 48, 64, 128}},
        {"first image not square", [](auto& f) { f[imageOffset(f, 0) + 8] = 30; }, {20, 24, 32, 40, 48, 64, 128}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> file = artwork();
        c.damage(file);
        EXPECT_EQ(widths(decodeIconFile(file)), c.widths);
    }
}

TEST(TrayIconArtwork, NearestPixmapIsTheLargestThatFitsElseTheSmallest) {
    const std::vector<IconPixmap>& pixmaps = trayIconPixmaps();
    for (const auto& [wanted, chosen] : std::vector<std::pair<int, int>>{{22, 20}, {48, 48}, {8, 16}, {1000, 128}, {127, 64}})
        EXPECT_EQ(pixmapNearest(pixmaps, wanted)->width, chosen) << wanted;
    EXPECT_EQ(pixmapNearest({}, 48), nullptr);
}

}  // namespace
}  // namespace varnel::platform
