// TFileReader: positional reads from one local file.
//
// The file source's output pin and the self-demultiplexing readers read through this. Reads
// go through pread, so any number of threads may read at once without a shared position;
// the descriptor is opened read-only by Open and closed by the destructor.
#pragma once

#include <cstdint>
#include <string>

#include "filters/ffmpeg/format_reader.h"
#include "platform/com/hresult.h"

namespace kv::source {

// A system error number as an HRESULT of the Win32 facility (0x8007xxxx), the way a load
// failure reads in logs: ENOENT (and a directory) as ERROR_FILE_NOT_FOUND, and so on.
HRESULT HResultFromErrno(int errorNumber);

class TFileReader final : public ffmpeg::IByteSource {
 public:
  TFileReader() = default;
  ~TFileReader() override;
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  // Opens `path` for reading. On failure returns false and sets *error to the system's text;
  // a directory or anything that is not a regular file is refused too.
  bool Open(const std::string& path, std::string* error, int* errorNumber = nullptr);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Bytes read (short only at the end of the file), or -1 on an I/O error. Any thread.
  int64_t ReadAt(int64_t offset, uint8_t* dst, int32_t size) override;
  // The current size of the file, or -1 when it cannot be read. Any thread.
  int64_t Size() override;

 private:
  int fd_ = -1;
};

}  // namespace kv::source
