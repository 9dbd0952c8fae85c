#include "harness/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <stdexcept>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace itest {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

[[noreturn]] void onJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Kept free of C++ objects with destructors between setjmp and longjmp.
bool decodeInto(std::FILE* file, DecodedPicture& out) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = onJpegError;
  if (setjmp(errors.escape) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(&out.pixels[info.output_scanline * info.output_width]);
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

static_assert(sizeof(Rgb) == 3, "scanlines are decoded straight into Rgb pixels");

DecodedPicture decodeJpeg(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw std::runtime_error("cannot open " + path);
  DecodedPicture picture;
  if (!decodeInto(file.get(), picture)) throw std::runtime_error("cannot decode " + path);
  return picture;
}

}  // namespace itest
