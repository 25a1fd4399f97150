// One codec and one loopback adapter shared by several threads: encoding,
// decoding and calls at the same time give what they give on one thread.
// Run under the thread sanitizer.
#include <gtest/gtest.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemServer.h>
#include <pelk/qor/cluster/PelkZovClusterHealthSystemStub.h>
#include <wire_support.h>
#include <zamli/calls/local_adapter.h>
#include <zamli/wire/loopback.h>

#include <thread>

namespace {

using Zamli::Wire::Codec;
using Zamli::Wire::Encoding;

class HealthServer : public Qor::Cluster::PelkZovClusterHealthSystemServer {
 public:
  using PelkZovClusterHealthSystemServer::PelkZovClusterHealthSystemServer;
  bool UploadHclDb(const std::string& db) override { return db.size() % 2 == 0; }
};

TEST(WireThreads, OneCodecAndOneAdapterServeManyThreads) {
  const Zamli::DataObjectType& root = PelkTest::WorkloadRootType();
  Haldun::Ref<Zamli::DynamicData> tree = WireTest::Filled(root, 3);
  Zamli::LocalAdapter objects(2);
  objects.Register(new HealthServer("health-1"));
  for (Encoding encoding : {Encoding::kXml, Encoding::kJson}) {
    const Codec codec(encoding, WireTest::Newest());
    const std::string expected = codec.EncodeValue(tree.Get(), root);
    Zamli::Wire::LoopbackAdapter wire(codec, objects);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        Qor::Cluster::PelkZovClusterHealthSystemStub stub(
            new Zamli::MoRef("qor.cluster.PelkZovClusterHealthSystem", "health-1"), &wire, nullptr);
        for (int i = 0; i < 5; ++i) {
          Haldun::Ref<Zamli::Any> back = codec.DecodeValue(expected, root);
          if (codec.EncodeValue(back.Get(), root) != expected) ++failures;
          if (stub.UploadHclDb(std::string(static_cast<size_t>(t + i), 'x')) != ((t + i) % 2 == 0)) ++failures;
        }
      });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0) << WireTest::NameOf(encoding);
    EXPECT_NE(wire.LastResponse(), "");
  }
}

}  // namespace
