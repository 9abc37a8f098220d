// Bitrates from the statistics filters' counters.
#include <cmath>

#include "debugsup/debugsup.h"
#include "engine/contrl.h"

namespace kv {

int32_t TCOMPlay::Bitrate(IStatistics* stat, bool total, bool log) {
  if (!stat) return -1;
  TStatCounters c;
  HRESULT hr = total ? stat->GetTotalStat(&c) : stat->GetCurrentStat(&c);
  if (FAILED(hr) || c.Duration == 0) return -1;
  if (log)
    Debug.TextOut("Stat time=" + std::to_string(c.Duration) + " size=" + std::to_string(c.Bytes) +
                  " samples=" + std::to_string(c.Samples));
  // bytes x 8 bits x 10 000 000 units per second, rounded half to even
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(c.Bytes) * 80000000.0 / static_cast<double>(c.Duration)));
}

int32_t TCOMPlay::GetVideoBitrate() { return Bitrate(VideoStat.Get(), true, true); }
int32_t TCOMPlay::GetVideoCurrentBitrate() { return Bitrate(VideoStat.Get(), false, false); }
int32_t TCOMPlay::GetAudioBitrate() { return Bitrate(AudioStat.Get(), true, false); }
int32_t TCOMPlay::GetAudioCurrentBitrate() { return Bitrate(AudioStat.Get(), false, false); }

void TCOMPlay::ResetStatistics() {
  if (VideoStat) VideoStat->ResetStat();
  if (AudioStat) AudioStat->ResetStat();
}

}  // namespace kv
