#pragma once
#include <QImage>

namespace tessilor {

// The program's one resampler, used for the sampling grid and for the image
// window's display copy. Integer box filter: destination pixel (x, y)
// averages source columns x0 .. x1-1 and rows y0 .. y1-1, where
// x0 = x*sW div dW and x1 = max(x0 + 1, (x+1)*sW div dW), rows alike; each
// channel is (sum + count div 2) div count. Enlarging picks one source pixel.
// Returns a Format_RGB32 image, or a null image when a size is not positive
// or the destination cannot be allocated.
QImage resampleBox(const QImage &source, int destWidth, int destHeight);

} // namespace tessilor
