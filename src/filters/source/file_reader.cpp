#include "filters/source/file_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/regular_file.h"

namespace kv::source {

HRESULT HResultFromErrno(int errorNumber) {
  uint32_t code = 0x1F;  // ERROR_GEN_FAILURE
  switch (errorNumber) {
    case ENOENT:
    case EISDIR: code = 2; break;   // ERROR_FILE_NOT_FOUND
    case ENOTDIR: code = 3; break;  // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM: code = 5; break;    // ERROR_ACCESS_DENIED
    case EMFILE: code = 4; break;   // ERROR_TOO_MANY_OPEN_FILES
  }
  return MakeHResult(0x80070000u | code);
}

TFileReader::~TFileReader() { Close(); }

bool TFileReader::Open(const std::string& path, std::string* error, int* errorNumber) {
  Close();
  // Only a regular file: a pipe or device with a film's name would block the open or the
  // reads for good.
  int err = 0;
  const int fd = files::OpenRegularFile(path, &err);
  if (fd < 0) {
    const bool notRegular = err == EISDIR || err == ENXIO;
    if (error) *error = notRegular ? "not a regular file" : std::strerror(err);
    if (errorNumber) *errorNumber = notRegular ? EISDIR : err;
    return false;
  }
  fd_ = fd;
  return true;
}

void TFileReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int64_t TFileReader::ReadAt(int64_t offset, uint8_t* dst, int32_t size) {
  if (fd_ < 0 || offset < 0 || size < 0) return -1;
  int64_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd_, dst + done, static_cast<size_t>(size - done), offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;  // end of file
    done += n;
  }
  return done;
}

int64_t TFileReader::Size() {
  if (fd_ < 0) return -1;
  struct stat st{};
  if (::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

}  // namespace kv::source
