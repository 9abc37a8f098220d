#include "subtitles/subtitle_readers.h"

namespace kv {

bool ReadSubtitleLayout(int format, TSubtitleTextFile& in, TSubTitles& list) {
  list.Format = format;
  list.Items.clear();
  switch (format) {
    case sfSubRip: ReadSubRip(in, list); break;
    case sfMicroDVD: ReadMicroDVD(in, list); break;
    case sfAQTitle: ReadAQTitle(in, list); break;
    case sfSubViewer: ReadSubViewer(in, list); break;
    case sfTimedLines: ReadTimedLines(in, list); break;
    case sfSubStation: ReadSubStation(in, list); break;
    case sfTabbed: ReadTabbed(in, list); break;
    default: break;
  }
  return !list.Items.empty();
}

}  // namespace kv
