// The web build's JPEG decoder: the browser's own. Decoding there is
// asynchronous; the caller waits through Asyncify while the page keeps
// running.
#include <emscripten.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <string>

#include "base/Errors.h"
#include "ui/picture/Pictures.h"

namespace velora {

namespace {

// Decodes the JPEG into RGBA kept by the page, without colour conversion (as
// libjpeg gives the file's own values). Sets the size (also when it is over
// the limit, and then keeps no pixels) and returns 1, or returns 0 when the
// browser cannot decode it.
EM_ASYNC_JS(int, BrowserDecode, (const unsigned char* bytes, int size, double maxPixels, int* width, int* height), {
    Module.veloraJpeg = null;
    try {
        var blob = new Blob([HEAPU8.slice(bytes, bytes + size)], {
            type:
                'image/jpeg'
        });
        var bitmap = await createImageBitmap(blob, {colorSpaceConversion : 'none', premultiplyAlpha : 'none'});
        HEAP32[width >> 2] = bitmap.width;
        HEAP32[height >> 2] = bitmap.height;
        if (bitmap.width * bitmap.height <= maxPixels) {
            var canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
            var context = canvas.getContext('2d', {willReadFrequently : true});
            context.drawImage(bitmap, 0, 0);
            Module.veloraJpeg = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
        }
        bitmap.close();
        return 1;
    } catch (e) {
        return 0;
    }
});

// Moves the decoded pixels into `rgb` as RGB888 and lets the page drop them.
EM_JS(void, BrowserTakeRgb, (unsigned char* rgb), {
    var rgba = Module.veloraJpeg;
    Module.veloraJpeg = null;
    for (var i = 0, j = rgb; i < rgba.length; i += 4, j += 3) {
        HEAPU8[j] = rgba[i];
        HEAPU8[j + 1] = rgba[i + 1];
        HEAPU8[j + 2] = rgba[i + 2];
    }
});

}  // namespace

DecodedPicture DecodeJpeg(std::span<const unsigned char> jpeg) {
    // The page takes the length as an int.
    if (jpeg.size() > static_cast<std::size_t>(INT_MAX))
        throw Exception(std::string(msg::kJpegDecodeFailed) + "input too large");
    DecodedPicture picture;
    int width = 0;
    int height = 0;
    if (BrowserDecode(jpeg.data(), static_cast<int>(jpeg.size()), static_cast<double>(kMaxJpegPixels), &width,
                      &height) == 0)
        throw Exception(std::string(msg::kJpegDecodeFailed) + msg::kBrowserCannotDecodeJpeg);
    const long long pixels = static_cast<long long>(width) * height;
    if (pixels > kMaxJpegPixels) {
        char text[128];
        std::snprintf(text, sizeof text, msg::kJpegTooLarge, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), kMaxJpegPixels);
        throw Exception(std::string(msg::kJpegDecodeFailed) + text);
    }
    picture.Rgb.resize(static_cast<std::size_t>(pixels) * 3);
    BrowserTakeRgb(picture.Rgb.data());
    picture.Width = width;
    picture.Height = height;
    return picture;
}

}  // namespace velora
