// Demultiplexer parts that need no media: families, pin names, the packet pool, the file
// source's reads.
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "clip_graph.h"
#include "filters/demux/container_families.h"
#include "filters/demux/packet_allocator.h"
#include "filters/demux/pin_names.h"
#include "filters/source/file_source_filter.h"
#include "platform/com/class_registry.h"
#include "platform/graph/media_guids.h"

namespace kv::demux {
namespace {

TEST(ContainerFamilies, EveryFamily_forcesAFormatLibavformatHas_andIsRegistered) {
  testing::RegisterFiltersOnce();
  std::vector<CLSID> seen;
  for (const auto& f : ContainerFamilies()) {
    SCOPED_TRACE(f.friendlyName);
    EXPECT_NE(av_find_input_format(f.inputFormat), nullptr);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), f.clsid), 0);
    seen.push_back(f.clsid);
    TClassRegistration reg;
    ASSERT_TRUE(ClassRegistry().Find(f.clsid, &reg));
    EXPECT_EQ(reg.friendlyName, f.friendlyName);
    EXPECT_EQ(reg.inputTypes.empty(), f.isSource);
    EXPECT_EQ(FindContainerFamily(f.clsid), &f);
  }
  EXPECT_EQ(FindContainerFamily(GUID_NULL), nullptr);
}

TEST(PinNames, StreamsAreNamedByKindNumberTitleAndLanguage) {
  struct Row {
    std::vector<TStreamLabel> streams;
    std::vector<std::string> names;
  } rows[] = {
      {{{TStreamKind::Video, "", ""}, {TStreamKind::Audio, "", ""}}, {"Video", "Audio"}},
      {{{TStreamKind::Audio, "", "eng"}, {TStreamKind::Audio, "Commentary", "ger"}, {TStreamKind::Video, "", ""}},
       {"Audio [eng]", "Audio 2 - Commentary [ger]", "Video"}},
      {{{TStreamKind::Audio, "", "und"}}, {"Audio"}},
      {{{TStreamKind::Video, "", ""}, {TStreamKind::Teletext, "", "fin"}}, {"Video", "Teletext [fin]"}},
      {{{TStreamKind::Audio, "Line\none", ""}}, {"Audio - Line one"}},
      // A title that repeats a generated name stays distinct.
      {{{TStreamKind::Audio, "", ""}, {TStreamKind::Audio, "", ""}, {TStreamKind::Audio, "", ""}},
       {"Audio", "Audio 2", "Audio 3"}},
  };
  for (const auto& r : rows) EXPECT_EQ(MakePinNames(r.streams), r.names);
  auto names = MakePinNames({{TStreamKind::Audio, "2", ""}, {TStreamKind::Audio, "", ""}});
  EXPECT_NE(names[0], names[1]);
  EXPECT_EQ(MakePinNames({{TStreamKind::Audio, std::string(500, 'x'), ""}})[0].size(), 88u) << "titles are cut";
}

TEST(PacketAllocator, BuffersGrowToThePacket_andComeBackToThePool) {
  ComPtr<TPacketAllocator> pool(new TPacketAllocator(2));
  ALLOCATOR_PROPERTIES want{1, 100, 1, 0}, got;
  ASSERT_EQ(pool->SetProperties(&want, &got), S_OK);
  EXPECT_EQ(got.cBuffers, 2);
  ComPtr<IMediaSample> a;
  EXPECT_EQ(pool->GetSizedBuffer(10, a.Put()), VFW_E_NOT_COMMITTED);
  pool->Commit();
  ASSERT_EQ(pool->GetSizedBuffer(5000, a.Put()), S_OK);
  EXPECT_GE(a->GetSize(), 5000);
  EXPECT_EQ(a->SetActualDataLength(5001), VFW_E_BUFFER_OVERFLOW);
  a->SetSyncPoint(true);
  ComPtr<IMediaSample> b;
  ASSERT_EQ(pool->GetSizedBuffer(10, b.Put()), S_OK);
  EXPECT_GE(b->GetSize(), 100) << "never below the negotiated size";
  EXPECT_EQ(pool->Outstanding(), 2);
  ComPtr<IMediaSample> c;
  EXPECT_EQ(pool->GetBuffer(c.Put(), nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT) << "the pool is bounded";
  a.Reset();
  ASSERT_EQ(pool->GetSizedBuffer(10, c.Put()), S_OK);
  EXPECT_GE(c->GetSize(), 5000) << "the grown buffer is reused";
  EXPECT_EQ(c->IsSyncPoint(), S_FALSE) << "properties are reset";
  EXPECT_EQ(pool->GetSizedBuffer(TPacketAllocator::kMaxPacketBytes + 1, a.Put()), VFW_E_BUFFER_OVERFLOW);
}

// A packet whose buffer only it references travels in the sample without a copy, and its
// memory goes back when the sample does; a shared buffer (a laced block's frames) is
// refused, so that nothing downstream can write into another packet's data.
TEST(PacketAllocator, AnUnsharedPacket_isCarriedByReference_aSharedOneIsLeftToCopy) {
  ComPtr<TPacketAllocator> pool(new TPacketAllocator(1));
  pool->Commit();
  static std::atomic<int> freed{0};
  freed = 0;
  auto makePacket = [](int size) {
    AVPacket* p = av_packet_alloc();
    auto* data = static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE));
    p->buf = av_buffer_create(data, size, [](void*, uint8_t* d) { av_free(d); ++freed; }, nullptr, 0);
    p->data = data;
    p->size = size;
    return p;
  };

  AVPacket* packet = makePacket(3000);
  uint8_t* const data = packet->data;
  ComPtr<TPacketSample> sample;
  ASSERT_EQ(pool->GetPacketSample(packet, &sample), S_OK);
  EXPECT_EQ(packet->buf, nullptr) << "the sample took the reference over";
  uint8_t* p = nullptr;
  sample->GetPointer(&p);
  EXPECT_EQ(p, data) << "no copy";
  EXPECT_EQ(sample->GetSize(), 3000);
  EXPECT_EQ(sample->SetActualDataLength(3001), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(sample->SetActualDataLength(3000), S_OK);
  EXPECT_EQ(freed, 0);
  sample.Reset();
  EXPECT_EQ(freed, 1) << "the packet's memory goes back with the sample";

  // The pool's sample is an ordinary buffer again.
  ComPtr<IMediaSample> plain;
  ASSERT_EQ(pool->GetSizedBuffer(10, plain.Put()), S_OK);
  plain->GetPointer(&p);
  EXPECT_NE(p, data);
  EXPECT_GE(plain->GetSize(), 10);
  plain.Reset();

  AVPacket* shared = makePacket(500);
  AVPacket* other = av_packet_clone(shared);
  EXPECT_EQ(pool->GetPacketSample(shared, &sample), S_FALSE);
  EXPECT_FALSE(sample);
  EXPECT_NE(shared->buf, nullptr) << "a refused packet is left as it was";
  av_packet_free(&other);
  av_packet_free(&shared);
  av_packet_free(&packet);
  EXPECT_EQ(freed, 2);

  pool->Decommit();
  AVPacket* late = makePacket(10);
  EXPECT_EQ(pool->GetPacketSample(late, &sample), VFW_E_NOT_COMMITTED);
  EXPECT_NE(late->buf, nullptr);
  av_packet_free(&late);
}

TEST(PacketAllocator, OutsizedBuffers_shrinkWhenReusedForSmallPackets) {
  ComPtr<TPacketAllocator> pool(new TPacketAllocator(1));
  pool->Commit();
  ComPtr<IMediaSample> s;
  ASSERT_EQ(pool->GetSizedBuffer(8 << 20, s.Put()), S_OK);
  s.Reset();
  ASSERT_EQ(pool->GetSizedBuffer(4 << 20, s.Put()), S_OK);
  EXPECT_EQ(s->GetSize(), 8 << 20) << "similar sizes reuse the buffer";
  s.Reset();
  ASSERT_EQ(pool->GetSizedBuffer(1000, s.Put()), S_OK);
  EXPECT_LT(s->GetSize(), 1 << 20);
}

TEST(PacketAllocator, WaitingReader_isReleasedByDecommitAndByInterrupt) {
  for (bool interrupt : {false, true}) {
    ComPtr<TPacketAllocator> pool(new TPacketAllocator(1));
    pool->Commit();
    ComPtr<IMediaSample> held;
    ASSERT_EQ(pool->GetSizedBuffer(10, held.Put()), S_OK);
    std::atomic<HRESULT> result{S_OK};
    std::thread reader([&] {
      ComPtr<IMediaSample> s;
      result = pool->GetSizedBuffer(10, s.Put());
    });
    if (interrupt)
      pool->Interrupt();
    else
      pool->Decommit();
    reader.join();
    EXPECT_EQ(result.load(), interrupt ? E_ABORT : VFW_E_NOT_COMMITTED);
  }
}

class FileSource : public ::testing::Test {
 protected:
  void SetUp() override {
    // One file per process: ctest runs these tests in parallel processes, and one's
    // TearDown must not delete the file another is reading.
    path_ = ::testing::TempDir() + "kavello_file_source_test_" + std::to_string(getpid()) + ".bin";
    std::ofstream(path_, std::ios::binary) << "0123456789";
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::string path_;
};

TEST_F(FileSource, ServesReadsByOffset_andShortReadsAtTheEnd) {
  auto filter = MakeComObject<source::TFileSourceFilter>();
  ASSERT_EQ(filter->Load(path_, nullptr), S_OK);
  std::string name;
  filter->GetCurFile(&name, nullptr);
  EXPECT_EQ(name, path_);
  ComPtr<IPin> pin;
  ASSERT_EQ(filter->FindPin("Output", pin.Put()), S_OK);
  auto reader = pin.Query<IAsyncReader>();
  ASSERT_TRUE(reader);
  int64_t total = 0, available = 0;
  ASSERT_EQ(reader->Length(&total, &available), S_OK);
  EXPECT_EQ(total, 10);
  uint8_t buf[8] = {};
  int32_t read = 0;
  EXPECT_EQ(reader->SyncRead(2, 3, buf, &read), S_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "234");
  EXPECT_EQ(reader->SyncRead(8, 5, buf, &read), S_FALSE);
  EXPECT_EQ(read, 2);
  EXPECT_EQ(reader->SyncRead(50, 5, buf, &read), S_FALSE);
  EXPECT_EQ(read, 0);
  EXPECT_EQ(reader->SyncRead(-1, 5, buf, &read), E_INVALIDARG);
  reader->BeginFlush();
  EXPECT_EQ(reader->SyncRead(0, 1, buf, &read), VFW_E_WRONG_STATE);
  reader->EndFlush();
  EXPECT_EQ(reader->SyncRead(0, 1, buf, &read), S_OK);
  auto type = FirstMediaType(pin.Get());
  ASSERT_TRUE(type.has_value());
  EXPECT_EQ(type->majortype, kv::MEDIATYPE_Stream);
}

TEST_F(FileSource, LoadFailures_reportTheSystemError) {
  auto filter = MakeComObject<source::TFileSourceFilter>();
  EXPECT_EQ(filter->Load(path_ + ".missing", nullptr), MakeHResult(0x80070002));
  EXPECT_EQ(filter->Load(::testing::TempDir(), nullptr), MakeHResult(0x80070002)) << "a directory";
  EXPECT_EQ(filter->Load("", nullptr), E_INVALIDARG);
  ComPtr<IPin> pin;
  filter->FindPin("Output", pin.Put());
  EXPECT_FALSE(FirstMediaType(pin.Get()).has_value()) << "nothing to offer before a load";
}

TEST_F(FileSource, AsfReaderReportsAMissingFileLikeTheFileSource) {
  testing::RegisterFiltersOnce();
  ComPtr<IFileSourceFilter> asf;
  ASSERT_EQ(CoCreateInstance(CLSID_KavelloAsfReader, nullptr, CLSCTX_INPROC_SERVER, IFileSourceFilter::kIid,
                             asf.PutVoid()),
            S_OK);
  EXPECT_EQ(asf->Load(path_ + ".missing", nullptr), MakeHResult(0x80070002));
  EXPECT_EQ(asf->Load("", nullptr), E_INVALIDARG);
}

TEST_F(FileSource, SplitterRefusesAFileThatIsNotItsContainer) {
  testing::TClipGraph graph;
  EXPECT_TRUE(FAILED(graph.Build(path_, CLSID_KavelloAviSplitter)));
  testing::TClipGraph asf;
  EXPECT_TRUE(FAILED(asf.Build(path_, CLSID_KavelloAsfReader)));
}

}  // namespace
}  // namespace kv::demux
