#include "filters/demux/container_families.h"

namespace kv::demux {

namespace {
constexpr TContainerFamily kFamilies[] = {
    {CLSID_KavelloAviSplitter, "Kavello AVI Splitter", "avi", false},
    {CLSID_KavelloMpegSplitter, "Kavello MPEG Splitter", "mpeg", false},
    {CLSID_KavelloMpegAudioSplitter, "Kavello MPEG Audio Splitter", "mp3", false},
    {CLSID_KavelloMatroskaSplitter, "Kavello Matroska Splitter", "matroska", false},
    {CLSID_KavelloOggSplitter, "Kavello Ogg Splitter", "ogg", false},
    {CLSID_KavelloWavSplitter, "Kavello WAV Splitter", "wav", false},
    {CLSID_KavelloMp4Splitter, "Kavello MP4 Splitter", "mov", false},
    {CLSID_KavelloMpegTsSplitter, "Kavello MPEG-TS Splitter", "mpegts", false},
    {CLSID_KavelloAsfReader, "Kavello ASF Reader", "asf", true},
};
}  // namespace

std::span<const TContainerFamily> ContainerFamilies() { return kFamilies; }

const TContainerFamily* FindContainerFamily(const CLSID& clsid) {
  for (const auto& f : kFamilies)
    if (f.clsid == clsid) return &f;
  return nullptr;
}

}  // namespace kv::demux
