// The byte reader the fuzz targets share: turns fuzzer input into arguments
// for the vg calls, leaning towards the values that break things (NaN,
// infinities, extremes, the edges of every enumeration) while keeping every
// bit pattern reachable.
#pragma once

#include <VG/openvg.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace tqfuzz {

// Stops the run with a message: a broken property is a finding like a crash.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

#define TQ_FUZZ_CHECK(cond)           \
  do {                                \
    if (!(cond)) tqfuzz::fail(#cond); \
  } while (0)

// A heap block of exactly `bytes` bytes (plus `offset` in front), so that
// AddressSanitizer sees any read or write past what a call was given.
class Buffer {
 public:
  Buffer(size_t bytes, size_t offset) : storage_(new unsigned char[bytes + offset + 1]) {
    data_ = storage_.get() + offset;
    std::memset(storage_.get(), 0, bytes + offset + 1);
    size_ = bytes;
  }
  unsigned char* data() { return data_; }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<unsigned char[]> storage_;
  unsigned char* data_;
  size_t size_;
};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : fdp_(data, size) {}

  bool done() { return fdp_.remaining_bytes() == 0; }
  FuzzedDataProvider& raw() { return fdp_; }

  bool flag() { return fdp_.ConsumeBool(); }
  uint8_t byte() { return fdp_.ConsumeIntegral<uint8_t>(); }
  int pick(int count) { return fdp_.ConsumeIntegralInRange<int>(0, count - 1); }
  template <typename T>
  T range(T lo, T hi) {
    return fdp_.ConsumeIntegralInRange<T>(lo, hi);
  }
  uint32_t u32() { return fdp_.ConsumeIntegral<uint32_t>(); }

  // A 32-bit integer: small values, extremes, or any.
  int32_t integer() {
    switch (pick(4)) {
      case 0:
        return range<int32_t>(-4, 64);
      case 1: {
        static constexpr int32_t kEdges[] = {
            INT32_MIN, INT32_MIN + 1, -65536,        -1,       0, 1, 65535,
            65536,     1 << 24,       INT32_MAX - 1, INT32_MAX};
        return kEdges[pick(int(std::size(kEdges)))];
      }
      default:
        return static_cast<int32_t>(u32());
    }
  }

  // A float: ordinary values, special ones, or any bit pattern.
  float number() {
    switch (pick(4)) {
      case 0:
        return float(range<int>(-256, 256)) / float(1 << range<int>(0, 4));
      case 1: {
        static const float kSpecial[] = {0.0f,
                                         -0.0f,
                                         1.0f,
                                         -1.0f,
                                         0.5f,
                                         std::numeric_limits<float>::quiet_NaN(),
                                         -std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         FLT_MAX,
                                         -FLT_MAX,
                                         FLT_MIN,
                                         std::numeric_limits<float>::denorm_min(),
                                         1e30f,
                                         -1e30f,
                                         2147483648.0f,
                                         -2147483904.0f,
                                         16777217.0f,
                                         1e-30f};
        return kSpecial[pick(int(std::size(kSpecial)))];
      }
      case 2:
        return fdp_.ConsumeFloatingPointInRange<float>(-1e6f, 1e6f);
      default: {
        const uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
      }
    }
  }

  // One of `known` most of the time, any 32-bit value otherwise (negative
  // ones included: callers in C may pass any int as an enumeration).
  int32_t oneOf(std::span<const int32_t> known) {
    if (known.empty() || pick(8) == 0) return integer();
    return known[size_t(pick(int(known.size())))];
  }

  // An index into a list of `count` handles, or -1 for a made-up handle.
  int handleIndex(size_t count) {
    if (count == 0 || pick(8) == 0) return -1;
    return pick(int(count));
  }

 private:
  FuzzedDataProvider fdp_;
};

// Valid handles and ones that were valid once, plus made-up values.
struct Handles {
  std::vector<VGHandle> live;
  std::vector<VGHandle> stale;

  VGHandle any(Input& in) {
    switch (in.pick(8)) {
      case 0:
        return stale.empty() ? VG_INVALID_HANDLE : stale[size_t(in.pick(int(stale.size())))];
      case 1:
        return static_cast<VGHandle>(in.integer());
      default:
        return live.empty() ? VG_INVALID_HANDLE : live[size_t(in.pick(int(live.size())))];
    }
  }
  void add(VGHandle h) {
    if (h != VG_INVALID_HANDLE) live.push_back(h);
  }
  void retire(VGHandle h) {
    for (size_t i = 0; i < live.size(); ++i) {
      if (live[i] == h) {
        live.erase(live.begin() + std::ptrdiff_t(i));
        stale.push_back(h);
        return;
      }
    }
  }
};

// Every error code vgGetError may return.
inline bool isErrorCode(VGErrorCode e) {
  switch (e) {
    case VG_NO_ERROR:
    case VG_BAD_HANDLE_ERROR:
    case VG_ILLEGAL_ARGUMENT_ERROR:
    case VG_OUT_OF_MEMORY_ERROR:
    case VG_PATH_CAPABILITY_ERROR:
    case VG_UNSUPPORTED_IMAGE_FORMAT_ERROR:
    case VG_UNSUPPORTED_PATH_FORMAT_ERROR:
    case VG_IMAGE_IN_USE_ERROR:
      return true;
    default:
      return false;
  }
}

// Reads and checks the pending error.
inline VGErrorCode takeError() {
  const VGErrorCode e = vgGetError();
  TQ_FUZZ_CHECK(isErrorCode(e));
  return e;
}

// One of the matrix calls on the current matrix, with any arguments:
// `choice` 0 to 6 loads, multiplies, translates, scales, shears, rotates or
// loads the identity.
inline void matrixOperation(Input& in, int choice) {
  VGfloat m[9];
  switch (choice) {
    case 0:
      for (float& v : m) v = in.number();
      vgLoadMatrix(m);
      break;
    case 1:
      for (float& v : m) v = in.number();
      vgMultMatrix(m);
      break;
    case 2: {
      const float a = in.number(), b = in.number();
      vgTranslate(a, b);
      break;
    }
    case 3: {
      const float a = in.number(), b = in.number();
      vgScale(a, b);
      break;
    }
    case 4: {
      const float a = in.number(), b = in.number();
      vgShear(a, b);
      break;
    }
    case 5:
      vgRotate(in.number());
      break;
    default:
      vgLoadIdentity();
      break;
  }
}

// Changes the matrix of any mode, usually the path matrix: any entries (the
// call rejects non-finite ones), or the transform calls with any arguments.
// Leaves the path matrix current.
inline void changePathMatrix(Input& in) {
  if (in.pick(4) == 0) vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE + in.pick(4));
  matrixOperation(in, in.pick(7));
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
}

}  // namespace tqfuzz
