#include "harness/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <stdexcept>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace velora::testing {

namespace {

struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Escape;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->Escape, 1);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Kept free of C++ objects with destructors between setjmp and longjmp.
bool DecodeInto(std::FILE* file, DecodedPicture& out) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.Base);
    errors.Base.error_exit = OnJpegError;
    if (setjmp(errors.Escape) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out.Width = static_cast<int>(info.output_width);
    out.Height = static_cast<int>(info.output_height);
    out.Pixels.resize(static_cast<std::size_t>(out.Width) * static_cast<std::size_t>(out.Height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(&out.Pixels[info.output_scanline * info.output_width]);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

static_assert(sizeof(Rgb) == 3, "scanlines are decoded straight into Rgb pixels");

DecodedPicture DecodeJpeg(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw std::runtime_error("cannot open " + path);
    DecodedPicture picture;
    if (!DecodeInto(file.get(), picture)) throw std::runtime_error("cannot decode " + path);
    return picture;
}

}  // namespace velora::testing
