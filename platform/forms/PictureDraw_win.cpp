// Pictures hold 0x00BBGGRR; a 32-bit DIB wants blue in the low byte, so red and blue swap once here.
#include "platform/forms/PictureDraw_win.h"

namespace platform::win {

const PictureDrawer::Dib& PictureDrawer::Get(const PicturePtr& picture) {
    auto [it, added] = dibs_.try_emplace(picture.get());
    Dib& dib = it->second;
    if (!added)
        return dib;
    dib.picture = picture;
    BITMAPINFOHEADER& h = dib.info.bmiHeader;
    h.biSize = sizeof(h);
    h.biWidth = picture->width;
    h.biHeight = -picture->height;  // top row first
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    dib.bits.resize(picture->pixels.size());
    for (size_t i = 0; i < dib.bits.size(); ++i) {
        std::uint32_t c = picture->pixels[i];
        dib.bits[i] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
    return dib;
}

void PictureDrawer::Draw(HDC dc, const PicturePtr& picture, const RECT& dest) {
    if (!picture || picture->width <= 0 || picture->height <= 0)
        return;
    const Dib& dib = Get(picture);
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, 0, 0, picture->width,
                  picture->height, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
}

}  // namespace platform::win
