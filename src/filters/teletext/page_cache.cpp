#include "filters/teletext/page_cache.h"

#include <libzvbi.h>

#include <algorithm>
#include <cstring>

namespace kv::teletext {

namespace {

constexpr uint8_t kDataIdFirst = 0x10;  // EBU data, teletext
constexpr uint8_t kDataIdLast = 0x1F;
constexpr uint8_t kUnitTeletext = 0x02;
constexpr uint8_t kUnitSubtitle = 0x03;
constexpr uint8_t kUnitLength = 0x2C;
constexpr double kLinePeriod = 0.04;  // one picture period per payload

bool Decimal(int page) {
  return (page & 0xF) <= 9 && ((page >> 4) & 0xF) <= 9 && page >= 0x100 && page <= 0x899;
}

}  // namespace

TFetchedPage::TFetchedPage() : page_(std::make_unique<vbi_page>()) { std::memset(page_.get(), 0, sizeof(vbi_page)); }

TFetchedPage::~TFetchedPage() {
  if (fetched) vbi_unref_page(page_.get());
}

TTeletextPageCache::TTeletextPageCache() {
  inTransmission_.fill(-1);
  decoder_ = vbi_decoder_new();
  // The page handler is required: without it libzvbi delivers no pages.
  if (decoder_) vbi_event_handler_register(decoder_, VBI_EVENT_TTX_PAGE, &TTeletextPageCache::OnEvent, this);
  header_.assign(32, ' ');
}

TTeletextPageCache::~TTeletextPageCache() {
  if (decoder_) {
    vbi_event_handler_unregister(decoder_, &TTeletextPageCache::OnEvent, this);
    vbi_decoder_delete(decoder_);
  }
}

void TTeletextPageCache::OnEvent(vbi_event* event, void* self) {
  auto* cache = static_cast<TTeletextPageCache*>(self);
  if (event->type != VBI_EVENT_TTX_PAGE) return;
  int page = event->ev.ttx_page.pgno;
  if (!Decimal(page)) return;
  cache->pages_.insert(page);
  ++cache->arrivals_[page];
}

int TTeletextPageCache::FeedPes(const uint8_t* data, size_t size) {
  if (!data || size < 1 || data[0] < kDataIdFirst || data[0] > kDataIdLast) return 0;
  std::vector<TPacket> packets;
  size_t i = 1;
  while (i + 2 <= size) {
    uint8_t id = data[i];
    size_t length = data[i + 1];
    if (i + 2 + length > size) break;
    if ((id == kUnitTeletext || id == kUnitSubtitle) && length == kUnitLength) {
      // data[i+2]: field parity and line offset; data[i+3]: framing code.
      TPacket p;
      for (size_t k = 0; k < 42; ++k) p[k] = static_cast<uint8_t>(vbi_rev8(data[i + 4 + k]));
      packets.push_back(p);
    }
    i += 2 + length;
  }
  Decode(packets);
  return static_cast<int>(packets.size());
}

void TTeletextPageCache::FeedPackets(const std::vector<TPacket>& packets) {
  // A short burst at a time, as a stream would bring them.
  for (size_t i = 0; i < packets.size(); i += 16) {
    std::vector<TPacket> part(packets.begin() + static_cast<long>(i),
                              packets.begin() + static_cast<long>(std::min(packets.size(), i + 16)));
    Decode(part);
  }
}

void TTeletextPageCache::Decode(const std::vector<TPacket>& packets) {
  if (packets.empty()) return;
  std::vector<vbi_sliced> lines(packets.size());
  for (size_t k = 0; k < packets.size(); ++k) {
    TrackPacket(packets[k]);
    lines[k].id = VBI_SLICED_TELETEXT_B;
    lines[k].line = 0;
    std::memcpy(lines[k].data, packets[k].data(), 42);
  }
  time_ += kLinePeriod;
  if (decoder_) vbi_decode(decoder_, lines.data(), static_cast<int>(lines.size()), time_);
}

void TTeletextPageCache::TrackPacket(const TPacket& p) {
  int address = vbi_unham16p(p.data());
  if (address < 0) return;
  int magazine = address & 7;
  int packet = address >> 3;
  if (packet == 0) {
    int units = vbi_unham8(p[2]), tens = vbi_unham8(p[3]);
    int c11 = vbi_unham8(p[9]);
    bool serial = c11 >= 0 && (c11 & 1);
    // A header ends the page in transmission of its magazine (of every magazine when the
    // magazines are sent in serial order).
    for (int m = 0; m < 8; ++m) {
      if (m != magazine && !serial) continue;
      if (inTransmission_[m] >= 0 && !receiving_[m].empty()) raw_[inTransmission_[m]] = receiving_[m];
      inTransmission_[m] = -1;
      receiving_[m].clear();
    }
    if (units < 0 || tens < 0) return;
    int page = ((magazine ? magazine : 8) << 8) | (tens << 4) | units;
    if (!Decimal(page)) return;
    inTransmission_[magazine] = page;
    receiving_[magazine].push_back(p);
    for (int k = 0; k < 32; ++k) {
      int c = vbi_unpar8(p[10 + k]);
      header_[k] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : ' ';
    }
    return;
  }
  if (packet <= 28 && inTransmission_[magazine] >= 0) receiving_[magazine].push_back(p);
}

uint64_t TTeletextPageCache::Arrivals(int page) const {
  auto it = arrivals_.find(page);
  return it == arrivals_.end() ? 0 : it->second;
}

bool TTeletextPageCache::Fetch(int page, int subpage, TFetchedPage* out) const {
  if (!decoder_ || !out || out->fetched) return false;
  out->fetched = vbi_fetch_vt_page(decoder_, out->Get(), page, subpage, VBI_WST_LEVEL_1p5, 25, 0);
  return out->fetched;
}

std::vector<TPacket> TTeletextPageCache::RawPackets(int page) const {
  auto it = raw_.find(page);
  if (it != raw_.end()) return it->second;
  // Not yet complete: what has arrived of it so far.
  for (int m = 0; m < 8; ++m)
    if (inTransmission_[m] == page) return receiving_[m];
  return {};
}

}  // namespace kv::teletext
