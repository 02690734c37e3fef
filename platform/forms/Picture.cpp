// Pictures are decoded by stb_image in every build, so Windows and the native tests read the same pixels.
#include "platform/forms/Picture.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb_image.h>

namespace platform {

PicturePtr DecodePicture(std::string_view bytes) {
    int w = 0, h = 0, channels = 0;
    auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    stbi_uc* rgba = stbi_load_from_memory(data, int(bytes.size()), &w, &h, &channels, 4);
    if (!rgba)
        return nullptr;
    auto picture = std::make_shared<Picture>();
    picture->width = w;
    picture->height = h;
    picture->pixels.resize(size_t(w) * size_t(h));
    for (size_t i = 0; i < picture->pixels.size(); ++i)
        picture->pixels[i] = Rgb(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2]);
    stbi_image_free(rgba);
    return picture;
}

}  // namespace platform
