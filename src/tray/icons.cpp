#include "tray/icons.h"

namespace {

constexpr WORD program_icon_resource = 1;
constexpr int bits_per_pixel = 32;

struct IconBitmaps {
    UniqueBitmap colour;
    UniqueBitmap mask;
};

std::optional<IconBitmaps> bitmaps_of(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return std::nullopt;
    return IconBitmaps{UniqueBitmap(info.hbmColor), UniqueBitmap(info.hbmMask)};
}

std::optional<IconPixels> read_pixels(HBITMAP colour) {
    BITMAPINFO format{};
    format.bmiHeader = {.biSize = sizeof(BITMAPINFOHEADER),
                        .biWidth = dot_icon_side,
                        .biHeight = -dot_icon_side, // top-down
                        .biPlanes = 1,
                        .biBitCount = bits_per_pixel,
                        .biCompression = BI_RGB};
    IconPixels pixels{};
    WindowDc screen(nullptr);
    if (!colour || !screen.get() ||
        GetDIBits(screen.get(), colour, 0, dot_icon_side, pixels.data(), &format, DIB_RGB_COLORS) ==
            0)
        return std::nullopt;
    return pixels;
}

} // namespace

std::size_t icon_for_status(ServiceStatus status) {
    switch (status) {
    case ServiceStatus::NotInstalled:
        return icon_grey;
    case ServiceStatus::Stopped:
        return icon_red;
    case ServiceStatus::Starting:
    case ServiceStatus::Stopping:
    case ServiceStatus::RunningNotAccepting:
        return icon_amber;
    case ServiceStatus::Running:
        break;
    }
    return icon_plain;
}

std::optional<IconPixels> icon_pixels(HICON icon) {
    auto bitmaps = bitmaps_of(icon);
    if (!bitmaps) return std::nullopt;
    return read_pixels(bitmaps->colour.get());
}

UniqueIcon add_status_dot(UniqueIcon source, DotColour colour) {
    auto bitmaps = bitmaps_of(source.get());
    if (!bitmaps) return source;
    auto pixels = read_pixels(bitmaps->colour.get());
    if (!pixels) return source;
    draw_status_dot(*pixels, colour);
    UniqueBitmap dotted(
        CreateBitmap(dot_icon_side, dot_icon_side, 1, bits_per_pixel, pixels->data()));
    ICONINFO info{.fIcon = TRUE,
                  .xHotspot = 0,
                  .yHotspot = 0,
                  .hbmMask = bitmaps->mask.get(),
                  .hbmColor = dotted.get()};
    // The new icon keeps copies of both bitmaps; ours go when this returns, and so does the
    // source icon. When creation fails this state has no icon at all.
    return UniqueIcon(CreateIconIndirect(&info));
}

TrayIcons build_tray_icons(HINSTANCE module) {
    constexpr std::array<std::optional<DotColour>, tray_icon_count> dots{dot_grey, dot_red,
                                                                         dot_amber, std::nullopt};
    TrayIcons icons;
    for (std::size_t i = 0; i < tray_icon_count; ++i) {
        UniqueIcon loaded(
            static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(program_icon_resource),
                                          IMAGE_ICON, dot_icon_side, dot_icon_side, 0)));
        if (!loaded || !dots[i]) {
            icons[i] = std::move(loaded);
            continue;
        }
        icons[i] = add_status_dot(std::move(loaded), *dots[i]);
    }
    return icons;
}
