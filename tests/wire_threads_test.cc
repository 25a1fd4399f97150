// One codec and one loopback adapter shared by several threads: encoding,
// decoding and calls at the same time give what they give on one thread.
// Run under the thread sanitizer.
#include <gtest/gtest.h>
#include <health_server.h>
#include <wire_support.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/wire/loopback.h>

#include <thread>

namespace {

using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

TEST(WireThreads, OneCodecAndOneAdapterServeManyThreads) {
  const Zamli::DataObjectType& root = PelkTest::WorkloadRootType();
  Haldun::Ref<Zamli::DynamicData> tree = WireTest::Filled(root, 3);
  Zamli::LocalAdapter objects(2);
  objects.Register(new PelkTest::HealthServer("health-1"));
  for (Encoding encoding : {Encoding::kXml, Encoding::kJson}) {
    const Codec codec(encoding, WireTest::Newest());
    const std::string expected = codec.EncodeValue(tree.Get(), root);
    Zamli::Wire::LoopbackAdapter wire(codec, objects);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        Haldun::Ref<Qor::Cluster::PelkZovClusterHealthSystemStub> stub = PelkTest::HealthStubOn(wire);
        for (int i = 0; i < 5; ++i) {
          Haldun::Ref<Zamli::Any> back = codec.DecodeValue(expected, root);
          if (codec.EncodeValue(back.Get(), root) != expected) ++failures;
          if (stub->UploadHclDb((t + i) % 2 ? "other" : "ok") != ((t + i) % 2 == 0)) ++failures;
        }
      });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0) << WireTest::NameOf(encoding);
    EXPECT_NE(wire.LastResponse(), "");
  }
}

}  // namespace
