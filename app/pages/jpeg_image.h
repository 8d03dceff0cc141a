// Decoding JPEG bytes into a QImage with libjpeg, without Qt's image plugins.
#pragma once

#include <QByteArrayView>
#include <QImage>
#include <optional>

namespace tavik {

// The picture in `jpeg` as an RGB888 image of the stored size; grey pictures come out as grey
// RGB. Returns nullopt for anything libjpeg refuses or only half understands: no data, not a
// JPEG, a cut-off file, damaged data (libjpeg would warn and fill in grey), an unsupported colour
// space, or a picture too large to hold. Never aborts the program.
std::optional<QImage> decodeJpeg(QByteArrayView jpeg);

}  // namespace tavik
