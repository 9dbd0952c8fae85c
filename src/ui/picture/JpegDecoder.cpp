#include "ui/picture/Pictures.h"

#include "base/Errors.h"

#include <climits>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <new>
#include <string>

#include <jpeglib.h>

namespace velora {

namespace {

// libjpeg's error_exit must not return. Ours jumps back into DecodeInto,
// whose frame holds only C structures, so the jump skips no destructor; every
// C++ object of the decode lives in the caller, above the setjmp.
struct JpegErrorManager {
    jpeg_error_mgr Base;  // first, so libjpeg's pointer to it is ours as well
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void FailDecoding(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegErrorManager*>(info->err);
    error->Base.format_message(info, error->Message);
    std::longjmp(error->Jump, 1);
}

// libjpeg only warns about a truncated or corrupt stream and pads the picture
// with grey; a picture that is not all there is a failure here.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level < 0) FailDecoding(info);
}

bool TryResize(std::vector<unsigned char>& bytes, std::size_t size) noexcept {
    try {
        bytes.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Returns false with error.Message set when the stream cannot be decoded.
bool DecodeInto(std::span<const unsigned char> jpeg, JpegErrorManager& error, DecodedPicture& picture) {
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&error.Base);
    error.Base.error_exit = FailDecoding;
    error.Base.emit_message = OnJpegMessage;
    if (setjmp(error.Jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);

    // Checked before jpeg_start_decompress, which already allocates in
    // proportion to the picture for progressive streams.
    const long long pixels = static_cast<long long>(info.image_width) * info.image_height;
    if (pixels > kMaxJpegPixels) {
        std::snprintf(error.Message, sizeof error.Message, msg::kJpegTooLarge, info.image_width, info.image_height,
                      kMaxJpegPixels);
        jpeg_destroy_decompress(&info);
        return false;
    }

    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    if (!TryResize(picture.Rgb, stride * info.output_height)) {
        std::snprintf(error.Message, sizeof error.Message, "out of memory for %ux%u pixels", info.output_width,
                      info.output_height);
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.Rgb.data() + info.output_scanline * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    picture.Width = static_cast<int>(info.output_width);
    picture.Height = static_cast<int>(info.output_height);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

DecodedPicture DecodeJpeg(std::span<const unsigned char> jpeg) {
    if constexpr (sizeof(std::size_t) > sizeof(unsigned long)) {
        // libjpeg takes the length as unsigned long, 32 bits on 64-bit Windows.
        if (jpeg.size() > ULONG_MAX) throw Exception(std::string(msg::kJpegDecodeFailed) + "input too large");
    }
    JpegErrorManager error;
    DecodedPicture picture;
    if (!DecodeInto(jpeg, error, picture)) throw Exception(std::string(msg::kJpegDecodeFailed) + error.Message);
    return picture;
}

}  // namespace velora
