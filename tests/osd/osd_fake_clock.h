// A clock the OSD tests move by hand.
#pragma once

#include <QTime>

#include "osd/osd_clock.h"

namespace kv::osd::test {

class TFakeOsdClock final : public IOsdClock {
 public:
  int64_t Now = 1'000'000;  // an arbitrary start: nothing may assume 0
  QTime Time{12, 34, 56};
  int64_t NowMs() override { return Now; }
  QTime TimeOfDay() override { return Time; }
};

}  // namespace kv::osd::test
