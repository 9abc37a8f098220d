// GrabFrame: the frame grabber's last picture as a bitmap or JPEG file.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "debugsup/debugsup.h"
#include "engine/contrl.h"

namespace kv {

namespace {

constexpr int32_t kJpegCode = 256;

struct TFileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<FILE, TFileCloser>;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// Writes the 54-byte headers and the pixels. Bitmap rows are padded to whole 32-bit words,
// so a picture whose rows are not (a width of 33 at 24 bits) is written row by row with the
// padding added; otherwise the buffer goes out as it is, in pieces of at most 1000 bytes.
// False when a write fails (the partial file stays).
bool WriteBitmap(const std::string& path, const uint8_t* pixels, int32_t size, int32_t width, int32_t height,
                 int bitsPerPixel) {
  TFilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const int32_t rowBytes = width * (bitsPerPixel / 8);
  const int32_t stride = (rowBytes + 3) & ~3;
  const int32_t imageBytes = stride == rowBytes ? size : stride * height;
  std::vector<uint8_t> head;
  Put16(head, 0x4D42);
  Put32(head, 54 + static_cast<uint32_t>(imageBytes));
  Put16(head, 0);
  Put16(head, 0);
  Put32(head, 54);
  Put32(head, 40);
  Put32(head, static_cast<uint32_t>(width));
  Put32(head, static_cast<uint32_t>(height));  // positive: bottom-up rows
  Put16(head, 1);
  Put16(head, static_cast<uint16_t>(bitsPerPixel));
  for (int i = 0; i < 6; ++i) Put32(head, 0);  // compression, image size, resolutions, colours
  if (std::fwrite(head.data(), 1, head.size(), file.get()) != head.size()) return false;
  auto write = [&](const uint8_t* data, int32_t count) {
    for (int32_t done = 0; done < count;) {
      int32_t piece = std::min<int32_t>(1000, count - done);
      if (std::fwrite(data + done, 1, static_cast<size_t>(piece), file.get()) != static_cast<size_t>(piece))
        return false;
      done += piece;
    }
    return true;
  };
  if (stride == rowBytes) {
    if (!write(pixels, size)) return false;
  } else {
    const uint8_t pad[4] = {};
    for (int32_t y = 0; y < height; ++y)
      if (!write(pixels + static_cast<size_t>(y) * rowBytes, rowBytes) || !write(pad, stride - rowBytes)) return false;
  }
  return std::fflush(file.get()) == 0;
}

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to
// WriteJpeg, which then reports a failed write.
struct TJpegError {
  jpeg_error_mgr base;
  jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->jump, 1); }

bool WriteJpeg(const std::string& path, const uint8_t* bgr, int32_t width, int32_t height, int quality) {
  TFilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  // Everything with a destructor lives outside the setjmp region.
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  jpeg_compress_struct cinfo;
  TJpegError err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = JpegErrorExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file.get());
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, std::min(100, std::max(1, quality)), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (int32_t y = 0; y < height; ++y) {
    // Row y from the top is row height - y - 1 of the bottom-up buffer; BGR to RGB.
    const uint8_t* src = bgr + static_cast<size_t>(height - y - 1) * width * 3;
    for (int32_t x = 0; x < width; ++x) {
      row[x * 3] = src[x * 3 + 2];
      row[x * 3 + 1] = src[x * 3 + 1];
      row[x * 3 + 2] = src[x * 3];
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fflush(file.get()) == 0;
}

}  // namespace

bool TCOMPlay::GrabFrame(const std::string& path) {
  Debug.TextOut("Grabbing frame " + path);
  ComPtr<IFrameGrabber> grabber;
  if (!FrameGrabber || FAILED(FrameGrabber.As(&grabber))) return false;
  const bool jpeg = ColorDepth == kJpegCode;
  const int32_t code = jpeg ? FrameFormatRGB24 : ColorDepth;
  uint8_t* buffer = nullptr;
  int32_t size = 0, width = 0, height = 0;
  HRESULT hr = grabber->GetFrame(code, 1, &buffer, &size, &width, &height);
  if (hr != S_OK) {
    if (hr == E_NOTIMPL) {
      Debug.TextOut("Not implemented");
    } else {
      char text[16];
      std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(hr));
      Debug.TextOut(std::string("Returned ") + text);
    }
    Debug.TextOut("Grabbing frame completed");
    return false;
  }
  // The buffer must hold what its size and the picture claim before anything reads it.
  const int bpp = code == FrameFormatRGB24 ? 3 : 2;
  const bool sane = buffer && width > 0 && height > 0 && size >= 0 &&
                    static_cast<int64_t>(width) * height * bpp <= size;
  bool ok = false;
  if (!sane) {
    Debug.TextOut("Returned frame of inconsistent size");
  } else if (jpeg) {
    ok = WriteJpeg(path, buffer, width, height, Quality);
  } else {
    ok = WriteBitmap(path, buffer, size, width, height, code == FrameFormatRGB24 ? 24 : 16);
  }
  grabber->FreeFrame(buffer, size);
  if (!ok) return false;
  Debug.TextOut("Grabbing frame completed");
  return true;
}

}  // namespace kv
