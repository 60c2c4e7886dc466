// Every image call with any formats, sizes, strides, offsets and handles, in
// a context without OpenGL. The data buffers hold exactly the bytes of the
// pixels a call keeps after clipping, so AddressSanitizer sees any access
// outside them; a call that raises an error must leave the image and the
// data as they were; and when the context goes, every pixel store goes too.
#include <VG/openvg.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/context.hpp"
#include "core/image.hpp"
#include "core/pixel_formats.hpp"
#include "fuzz_input.hpp"
#include "image_input.hpp"

namespace {

using tqfuzz::checkedOn;
using tqfuzz::Input;
using tqfuzz::internalImage;
using tqfuzz::snapshot;

// A coordinate or size: usually near a small image, sometimes anything.
VGint coordinate(Input& in) { return in.pick(6) == 0 ? in.integer() : in.range<VGint>(-8, 48); }
VGint extent(Input& in) { return in.pick(6) == 0 ? in.integer() : in.range<VGint>(-1, 48); }

VGImage createImage(Input& in) {
  const VGint format = in.oneOf(tqfuzz::kImageFormats);
  const VGint w = extent(in), h = extent(in);
  const VGbitfield quality = in.pick(8) == 0 ? VGbitfield(in.u32()) : in.range<VGbitfield>(0, 8);
  // Sizes within the limits but large only cost time.
  if (tq::checkImageSize(w, h) == VG_NO_ERROR && int64_t(w) * h > 256 * 256) return 0;
  return vgCreateImage(VGImageFormat(format), w, h, quality);
}

// Data for a pixel call on `handle` (none when it is not an image).
void makeData(Input& in, tqfuzz::PixelData& d, VGImage handle, VGint format, VGint stride, VGint x,
              VGint y, VGint w, VGint h) {
  const tq::Image* image = internalImage(handle);
  tqfuzz::makePixelData(in, d, format, stride, x, y, w, h, image ? image->width() : 0,
                        image ? image->height() : 0);
}

void pixelCall(Input& in, VGImage handle, bool write) {
  const VGint format = in.oneOf(tqfuzz::kImageFormats);
  const VGint x = coordinate(in), y = coordinate(in), w = extent(in), h = extent(in);
  const VGint stride = in.pick(8) == 0 ? in.range<VGint>(-64, 64) * 4 + in.range<VGint>(0, 3)
                                       : in.range<VGint>(-50, 50) * 4;
  tqfuzz::takeError();
  tqfuzz::PixelData d;
  makeData(in, d, handle, format, stride, x, y, w, h);
  const std::vector<uint8_t> image0 = snapshot(handle);
  const std::vector<uint8_t> data0(d.buffer, d.buffer + d.size);
  if (write)
    vgImageSubData(handle, d.pointer, stride, VGImageFormat(format), x, y, w, h);
  else
    vgGetImageSubData(handle, d.pointer, stride, VGImageFormat(format), x, y, w, h);
  const VGErrorCode err = tqfuzz::takeError();
  // Reads never change the image, writes never the data, failures neither.
  if (!write || err != VG_NO_ERROR) TQ_FUZZ_CHECK(snapshot(handle) == image0);
  if (write || err != VG_NO_ERROR) TQ_FUZZ_CHECK(std::equal(data0.begin(), data0.end(), d.buffer));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  Input in(bytes, size);
  if (!tq::createContext(64, 64)) tqfuzz::fail("no context");
  tqfuzz::Handles images;
  images.live.push_back(vgCreatePaint());  // a handle of the wrong kind
  for (int step = 0; step < 64 && !in.done(); ++step) {
    const VGImage a = images.any(in);
    switch (in.pick(10)) {
      case 0:
        images.add(createImage(in));
        break;
      case 1:
        vgDestroyImage(a);
        if (tqfuzz::takeError() == VG_NO_ERROR) images.retire(a);
        break;
      case 2: {
        const VGint x = coordinate(in), y = coordinate(in), w = extent(in), h = extent(in);
        const VGImage child = vgChildImage(a, x, y, w, h);
        TQ_FUZZ_CHECK((child != VG_INVALID_HANDLE) == (tqfuzz::takeError() == VG_NO_ERROR));
        images.add(child);
        break;
      }
      case 3: {
        const VGImage parent = vgGetParent(a);
        if (tqfuzz::takeError() == VG_NO_ERROR) TQ_FUZZ_CHECK(internalImage(parent) != nullptr);
        break;
      }
      case 4: {
        VGfloat colour[4];
        for (float& c : colour) c = in.number();
        vgSetfv(VG_CLEAR_COLOR, 4, colour);
        const VGint x = coordinate(in), y = coordinate(in), w = extent(in), h = extent(in);
        checkedOn(a, [&] { vgClearImage(a, x, y, w, h); });
        break;
      }
      case 5:
        pixelCall(in, a, true);
        break;
      case 6:
        pixelCall(in, a, false);
        break;
      case 7: {
        const VGImage src = images.any(in);
        const VGint dx = coordinate(in), dy = coordinate(in), sx = coordinate(in),
                    sy = coordinate(in), w = extent(in), h = extent(in);
        const VGboolean dither = VGboolean(in.pick(3));
        checkedOn(a, [&] { vgCopyImage(a, dx, dy, src, sx, sy, w, h, dither); });
        break;
      }
      case 8: {
        static constexpr int32_t kParams[] = {VG_IMAGE_FORMAT, VG_IMAGE_WIDTH, VG_IMAGE_HEIGHT};
        const VGint type = in.oneOf(kParams);
        VGint values[2] = {};
        switch (in.pick(4)) {
          case 0:
            vgGetParameteri(a, type);
            break;
          case 1:
            vgGetParameterVectorSize(a, type);
            break;
          case 2:
            vgGetParameteriv(a, type, in.range<VGint>(-1, 2), values);
            break;
          default:
            checkedOn(a, [&] { vgSetParameteri(a, type, in.integer()); });
            break;
        }
        break;
      }
      default: {
        static constexpr int32_t kKeys[] = {VG_IMAGE_FORMAT_QUERY, VG_PATH_DATATYPE_QUERY};
        const VGint key = in.oneOf(kKeys);
        const VGHardwareQueryResult r = vgHardwareQuery(VGHardwareQueryType(key), in.integer());
        TQ_FUZZ_CHECK(r == VG_HARDWARE_UNACCELERATED);
        break;
      }
    }
    tqfuzz::takeError();
  }
  tq::destroyContext();
  TQ_FUZZ_CHECK(tq::pixelStoreBytesInUse() == 0);
  return 0;
}
