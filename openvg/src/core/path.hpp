// A path object: command bytes and coordinates as the application gave them,
// kept in the path's own datatype so integer paths quantise what is written
// into them exactly as a caller would see on read-back.
#pragma once

#include <VG/openvg.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tq {

// Number of coordinates a command byte takes, or -1 when the byte is not a
// command (kinds are even numbers 0..24, ORed with VG_RELATIVE).
inline int coordsPerCommand(VGubyte command) {
  static constexpr signed char kCounts[13] = {0, 2, 2, 1, 1, 4, 6, 2, 4, 5, 5, 5, 5};
  return command < 26 ? kCounts[command >> 1] : -1;
}

inline bool isValidDatatype(VGint datatype) {
  return datatype >= VG_PATH_DATATYPE_S_8 && datatype <= VG_PATH_DATATYPE_F;
}

inline size_t bytesPerCoord(VGPathDatatype datatype) {
  switch (datatype) {
    case VG_PATH_DATATYPE_S_8:
      return 1;
    case VG_PATH_DATATYPE_S_16:
      return 2;
    default:
      return 4;
  }
}

// Reads stored coordinate i of raw data in the given datatype (no scale/bias).
inline double readRawCoord(const unsigned char* data, VGPathDatatype datatype, size_t i) {
  switch (datatype) {
    case VG_PATH_DATATYPE_S_8: {
      int8_t v;
      std::memcpy(&v, data + i, 1);
      return v;
    }
    case VG_PATH_DATATYPE_S_16: {
      int16_t v;
      std::memcpy(&v, data + 2 * i, 2);
      return v;
    }
    case VG_PATH_DATATYPE_S_32: {
      int32_t v;
      std::memcpy(&v, data + 4 * i, 4);
      return v;
    }
    default: {
      float v;
      std::memcpy(&v, data + 4 * i, 4);
      return v;
    }
  }
}

struct Path {
  // Read by vgGetParameter*.
  VGint format = VG_PATH_FORMAT_STANDARD;
  VGPathDatatype datatype = VG_PATH_DATATYPE_F;
  float scale = 1.0f;
  float bias = 0.0f;

  VGbitfield capabilities = VG_PATH_CAPABILITY_ALL;

  std::vector<VGubyte> commands;
  // bytesPerCoord(datatype) bytes per coordinate, in command order.
  std::vector<unsigned char> data;

  VGint numSegments() const { return static_cast<VGint>(commands.size()); }
  VGint numCoords() const { return static_cast<VGint>(data.size() / coordBytes()); }

  size_t coordBytes() const { return bytesPerCoord(datatype); }

  // The value coordinate i stands for: stored value x scale + bias.
  double coord(size_t i) const {
    return readRawCoord(data.data(), datatype, i) * double(scale) + double(bias);
  }

  // Writes the stored form of `value` into coordinate i: (value - bias) / scale,
  // rounded to nearest and clamped to the range of an integer datatype.
  void setCoord(size_t i, double value) { encodeCoord(data.data() + i * coordBytes(), value); }

  // Appends one coordinate; the caller reserves capacity first.
  void pushCoord(double value) {
    const size_t at = data.size();
    data.resize(at + coordBytes());
    encodeCoord(data.data() + at, value);
  }

  void encodeCoord(unsigned char* dst, double value) const {
    const double stored = (value - double(bias)) / double(scale);
    switch (datatype) {
      case VG_PATH_DATATYPE_S_8:
        storeInt<int8_t>(dst, stored, -128.0, 127.0);
        break;
      case VG_PATH_DATATYPE_S_16:
        storeInt<int16_t>(dst, stored, -32768.0, 32767.0);
        break;
      case VG_PATH_DATATYPE_S_32:
        storeInt<int32_t>(dst, stored, -2147483648.0, 2147483647.0);
        break;
      default: {
        const float f = static_cast<float>(stored);
        std::memcpy(dst, &f, 4);
        break;
      }
    }
  }

 private:
  template <typename T>
  static void storeInt(unsigned char* dst, double v, double lo, double hi) {
    // NaN becomes 0: an integer path cannot hold it, and casting it is undefined.
    double r = std::isnan(v) ? 0.0 : std::round(v);
    r = r < lo ? lo : (r > hi ? hi : r);
    const T t = static_cast<T>(r);
    std::memcpy(dst, &t, sizeof(T));
  }
};

// A path parameter as vgGetParameter* reports it; false for a type that is not
// a path parameter. Doubles carry the integer counts exactly.
bool getPathParameter(const Path& path, VGint paramType, double* value);

// Storage operations behind the vg path calls, after handles and capabilities
// are checked. Each validates everything before storing anything: on an error
// the path is left exactly as it was.
VGErrorCode appendPathData(Path& dst, VGint numSegments, const VGubyte* segments, const void* data);
// Converts to dst's datatype, scale and bias; dst may be src.
VGErrorCode appendPath(Path& dst, const Path& src);
VGErrorCode modifyPathCoords(Path& dst, VGint startIndex, VGint numSegments, const void* data);

// Makes room for more segments and coordinates at once, so that appending
// them cannot fail half-way. False when the sizes overflow or memory runs out.
bool reservePath(Path& path, size_t moreSegments, size_t moreCoords);

}  // namespace tq
