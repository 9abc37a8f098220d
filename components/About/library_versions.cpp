#include "library_versions.h"

#include <dlfcn.h>
#include <jpeglib.h>
#include <libzvbi.h>
#include <pulse/version.h>

#include <QtGlobal>

#include <cstdio>
#include <cstring>
#include <filesystem>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#ifndef KAVELLO_VERSION
#define KAVELLO_VERSION "0.0.0"
#endif

#define KV_STRINGIFY2(x) #x
#define KV_STRINGIFY(x) KV_STRINGIFY2(x)

namespace kv::about {
namespace {

std::string Dotted(unsigned version) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%u.%u.%u", AV_VERSION_MAJOR(version), AV_VERSION_MINOR(version),
                AV_VERSION_MICRO(version));
  return buf;
}

// The file a symbol was loaded from, with symbolic links resolved ("libjpeg.so.62.3.0").
std::string LoadedFileOf(const void* symbol) {
  Dl_info info{};
  if (!dladdr(symbol, &info) || !info.dli_fname) return {};
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(info.dli_fname, ec);
  return (ec ? std::filesystem::path(info.dli_fname) : real).filename().string();
}

}  // namespace

std::string ProgramVersion() { return KAVELLO_VERSION; }

std::string IsoDate(const std::string& date) {
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char month[4] = {};
  int day = 0, year = 0;
  if (std::sscanf(date.c_str(), "%3s %d %d", month, &day, &year) != 3) return date;
  for (int m = 0; m < 12; ++m) {
    if (std::strcmp(month, months[m]) == 0) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, m + 1, day);
      return buf;
    }
  }
  return date;
}

std::string BuildDate() { return IsoDate(__DATE__); }

std::vector<TLibraryInfo> LibrariesInUse() {
  std::vector<TLibraryInfo> list;
  list.push_back({"Qt", qVersion(), "LGPL-3.0-only (Qt open source)"});
  list.push_back({"FFmpeg", av_version_info(), avutil_license()});
  list.push_back({"libavformat", Dotted(avformat_version()), avformat_license()});
  list.push_back({"libavcodec", Dotted(avcodec_version()), avcodec_license()});
  list.push_back({"libavfilter", Dotted(avfilter_version()), avfilter_license()});
  list.push_back({"libavutil", Dotted(avutil_version()), avutil_license()});
  list.push_back({"libswscale", Dotted(swscale_version()), swscale_license()});
  list.push_back({"libswresample", Dotted(swresample_version()), swresample_license()});
  list.push_back({"libpulse", pa_get_library_version(), "LGPL-2.1-or-later"});
  {
    // libjpeg-turbo has no version call: the version it was built against, and the file
    // that is loaded.
    std::string version;
#ifdef LIBJPEG_TURBO_VERSION
    version = KV_STRINGIFY(LIBJPEG_TURBO_VERSION);
#else
    version = "API " KV_STRINGIFY(JPEG_LIB_VERSION);
#endif
    const std::string file = LoadedFileOf(reinterpret_cast<const void*>(&jpeg_std_error));
    if (!file.empty()) version += " (" + file + ")";
    list.push_back({"libjpeg-turbo", version, "IJG, BSD-3-Clause and Zlib"});
  }
  {
    unsigned major = 0, minor = 0, micro = 0;
    vbi_version(&major, &minor, &micro);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%u.%u", major, minor, micro);
    list.push_back({"libzvbi", buf, "LGPL-2.0-or-later (parts GPL-2.0-or-later)"});
  }
  return list;
}

}  // namespace kv::about
