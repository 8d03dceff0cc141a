// JPEG decoding with libjpeg; its errors come back through longjmp instead of ending the program.
#include "app/pages/jpeg_image.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdio>

namespace tavik {

namespace {

// libjpeg's own error handler calls exit(); this one jumps back into decodeInto.
struct ErrorManager {
  jpeg_error_mgr base;  // first member: libjpeg's pointer to it points to the whole
  std::jmp_buf back;
};

[[noreturn]] void jumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->back, 1);
}

// libjpeg warns about damaged data and carries on with grey; a half picture is no picture.
void failOnWarning(j_common_ptr info, int level) {
  if (level < 0) jumpBack(info);
}

// The part that may jump. C++ allows longjmp only where unwinding would run no destructor, so
// everything with one lives in the caller; a jump just returns false here.
bool decodeInto(jpeg_decompress_struct& info, ErrorManager& errors, QByteArrayView jpeg,
                QImage& image) {
  if (setjmp(errors.back) != 0) return false;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()),
               static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                 QImage::Format_RGB888);
  if (image.isNull()) return false;
  while (info.output_scanline < info.output_height) {
    // Rows of a QImage are padded to 4 bytes, so each row is read into its own line.
    JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

std::optional<QImage> decodeJpeg(QByteArrayView jpeg) {
  jpeg_decompress_struct info{};  // all zero: destroying it is safe even before creation
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = jumpBack;
  errors.base.emit_message = failOnWarning;
  QImage image;
  const bool ok = decodeInto(info, errors, jpeg, image);
  jpeg_destroy_decompress(&info);
  if (!ok) return std::nullopt;
  return image;
}

}  // namespace tavik
