// The simulator as a client meets it: requests encoded at a version go
// through the wire server half, and every answer must decode as the method's
// declared result at that version; scripts stage results, faults and delays.
#include <answers.h>
#include <gtest/gtest.h>
#include <qor-services/wait_for_task.h>
#include <simulator.h>
#include <thrown.h>
#include <zamli/calls/server_call_scope.h>
#include <zamli/types/registry.h>
#include <zamli/values/compare.h>
#include <zamli/wire/loopback.h>
#include <zamli/wire/serve.h>

#include <chrono>

namespace {

using Json = nlohmann::ordered_json;
using Zamli::Wire::Codec;

const Zamli::Version& VersionNamed(const char* name) { return *Zamli::TypeRegistry::Instance().FindVersion(name); }

bool Includes(const Zamli::Version& version, const char* name) {
  const Zamli::Version* v = Zamli::TypeRegistry::Instance().FindVersion(name);
  return v != nullptr && version.Includes(*v);
}

// A call of `method` on `id` with made-up arguments, in the JSON encoding.
std::string RequestJson(Pelksim::AnswerMaker& maker, const Zamli::ManagedMethod& method, const std::string& id,
                        const Zamli::Version& version) {
  const Zamli::MethodInfo& info = *method.GetMethodInfo();
  Json request = {
      {"_method", info.wsdlName},
      {"_this", {{"_typeName", "ManagedObjectReference"}, {"type", method.GetOwner()->GetWsdlName()}, {"value", id}}}};
  for (const Zamli::PropertyInfo* p = info.params; p->type != nullptr; ++p) {
    if (Includes(version, p->version)) request[p->name] = maker.Value(*p);
  }
  return request.dump();
}

// The answer a client decodes, for a call sent at `version` in `encoding`.
Haldun::Ref<Zamli::Any> Call(Pelksim::Simulator& simulator, const Codec& codec, const std::string& requestJson) {
  const Codec json("json", codec.GetVersion());
  Zamli::Wire::Request request = json.DecodeRequest(requestJson);
  const std::string document = codec.EncodeRequest(*request.target, *request.method, request.args);
  Zamli::ServerCallScope scope({nullptr, "tester", &codec.GetVersion()});
  return codec.DecodeResponse(Zamli::Wire::Serve(codec, simulator, document), *request.method);
}

TEST(Simulator, AnswersEveryMethodOfEveryTypeAtNewAndOldVersions) {
  Pelksim::Simulator simulator;
  int calls = 0;
  for (const char* versionName : {"pelk.version.version25", "pelk.version.version11"}) {
    const Zamli::Version& version = VersionNamed(versionName);
    Pelksim::AnswerMaker maker(simulator.GetInventory(), version, 7);
    for (const char* encoding : {"xml", "json"}) {
      const Codec codec(encoding, version);
      for (const auto& [typeName, ids] : simulator.GetInventory().Objects()) {
        auto* type =
            dynamic_cast<const Zamli::ManagedObjectType*>(Zamli::TypeRegistry::Instance().FindByName(typeName));
        ASSERT_NE(type, nullptr) << typeName;
        if (!Includes(version, type->GetVersionName().c_str())) continue;
        for (int k = 0; k < type->GetMethodCount(); ++k) {
          const Zamli::ManagedMethod& method = *type->GetMember(k);
          if (!Includes(version, method.GetMethodInfo()->version)) continue;
          const std::string request = RequestJson(maker, method, ids.front(), version);
          try {
            Haldun::Ref<Zamli::Any> result = Call(simulator, codec, request);
            const Zamli::PropertyInfo& declared = method.GetMethodInfo()->result;
            if (declared.type != nullptr && !(declared.flags & Zamli::kOptionalFlag)) {
              EXPECT_TRUE(result) << typeName << "." << method.GetName();
            }
          } catch (const Zamli::MethodFault::Exception& e) {
            ADD_FAILURE() << versionName << " " << encoding << " " << typeName << "." << method.GetName() << ": "
                          << Zamli::Wire::Describe(*e.GetFault()) << "\n"
                          << request.substr(0, 400);
          }
          ++calls;
        }
      }
    }
  }
  // Every method of the newest version in both encodings, and fewer at the old one.
  EXPECT_GT(calls, 2 * 653);
}

TEST(Simulator, TheSameSeedGivesTheSameAnswers) {
  const Zamli::Version& version = VersionNamed("pelk.version.version25");
  const Codec json("json", version);
  const std::string request =
      R"({"_method":"PelkQueryZovClusterHealthSummary","_this":{"_typeName":"ManagedObjectReference","type":"PelkZovClusterHealthSystem","value":"PelkZovClusterHealthSystem-1"}})";
  auto seeded = [](std::uint64_t seed) {
    Pelksim::SimulatorOptions options;
    options.seed = seed;
    return options;
  };
  Pelksim::Simulator first(seeded(5)), again(seeded(5)), other(seeded(6));
  Haldun::Ref<Zamli::Any> a = Call(first, json, request);
  ASSERT_TRUE(a);
  EXPECT_TRUE(Zamli::AreEqual(a.Get(), Call(again, json, request).Get()));
  EXPECT_FALSE(Zamli::AreEqual(a.Get(), Call(other, json, request).Get()));
}

TEST(Simulator, TasksRunToTheirEndAndPropertiesReadThroughTheCollector) {
  Pelksim::SimulatorOptions options;
  options.taskDuration = std::chrono::milliseconds(50);
  Pelksim::Simulator simulator(std::move(options));
  const Codec json("json", VersionNamed("pelk.version.version25"));
  Zamli::Wire::LoopbackAdapter adapter(json, simulator);
  Haldun::Ref<Zamli::Any> task = Call(
      simulator, json,
      R"({"_method":"EnterMaintenanceMode_Task","_this":{"_typeName":"ManagedObjectReference","type":"HostSystem","value":"host-3"},"timeout":5})");
  auto* ref = dynamic_cast<Zamli::MoRef*>(task.Get());
  ASSERT_NE(ref, nullptr);
  EXPECT_EQ(ref->GetTypeName(), "qor.Task");
  std::vector<int> progress;
  Qor::Services::WaitOptions wait;
  wait.pollInterval = std::chrono::milliseconds(5);
  wait.onProgress = [&](int percent) { progress.push_back(percent); };
  EXPECT_FALSE(Qor::Services::WaitForTask(adapter, *ref, wait));  // no result, and no fault
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);

  // A property of an object of the inventory, made up at the caller's version.
  const std::string read = json.EncodeRequest(
      *Haldun::Ref<Zamli::MoRef>(new Zamli::MoRef("kettar.query.PropertyCollector", "propertyCollector")),
      *dynamic_cast<const Zamli::ManagedObjectType*>(
           Zamli::TypeRegistry::Instance().FindByName("kettar.query.PropertyCollector"))
           ->FindMethod("retrieveContents"),
      {json.DecodeValue(
          R"([{"objects":[{"_typeName":"ManagedObjectReference","type":"HostSystem","value":"host-1"}],"pathSet":["name"]}])",
          *Zamli::TypeRegistry::Instance().FindByName("kettar.query.PropertyCollector.FilterSpec")->GetArrayType())});
  const std::string answer = Zamli::Wire::Serve(json, simulator, read);
  EXPECT_NE(answer.find(R"("key":"name","value":{"_typeName":"string")"), std::string::npos) << answer;
}

TEST(Simulator, ScriptsStageResultsFaultsAndDelaysAndTheLogSaysSo) {
  std::vector<std::string> log;
  Pelksim::SimulatorOptions options;
  options.script = Pelksim::Script::Parse(R"([
    {"method": "qor.HostSystem.enterMaintenanceMode", "target": "host-2", "args": {"timeout": 5},
     "fault": {"_typeName": "InvalidState"}, "delayMs": 150},
    {"method": "qor.hostsystem.EnterMaintenanceMode_Task",
     "result": {"_typeName": "ManagedObjectReference", "type": "Task", "value": "task-77"}}
  ])");
  options.log = [&](const std::string& line) { log.push_back(line); };
  Pelksim::Simulator simulator(std::move(options));
  const Codec xml("xml", VersionNamed("pelk.version.version25"));
  auto call = [&](const char* host, int timeout) {
    return Call(simulator, xml,
                Json{{"_method", "EnterMaintenanceMode_Task"},
                     {"_this", {{"_typeName", "ManagedObjectReference"}, {"type", "HostSystem"}, {"value", host}}},
                     {"timeout", timeout}}
                    .dump());
  };
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(call("host-2", 5), Zamli::MethodFault::Exception);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  // Other arguments or another host: the next entry.
  for (const auto& [host, timeout] : {std::pair{"host-2", 6}, std::pair{"host-1", 5}}) {
    Haldun::Ref<Zamli::Any> answer = call(host, timeout);
    auto* task = dynamic_cast<Zamli::MoRef*>(answer.Get());
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->GetId(), "task-77");
  }
  EXPECT_THROW(call("host-9", 5), Zamli::MethodFault::Exception);  // not in the inventory
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(
      log[0].rfind("qor.HostSystem.enterMaintenanceMode qor.HostSystem:host-2 principal=tester qor.fault.InvalidState ",
                   0),
      0u)
      << log[0];
  EXPECT_NE(log[3].find("kettar.fault.ManagedObjectNotFound"), std::string::npos) << log[3];

  const struct {
    const char* script;
    const char* problem;
  } badScripts[] = {
      {R"([{"method": "qor.HostSystem.enterMaint"}])", "did you mean enterMaintenanceMode"},
      {R"([{"method": "qor.HostSystem.enterMaintenanceMode", "result": 5}])", "script entry 1: kettar.fault"},
      {R"([{"method": "qor.HostSystem.enterMaintenanceMode", "color": 1}])", "unexpected member \"color\""},
      {R"({"method": 1})", "not a JSON array"},
  };
  for (const auto& c : badScripts) {
    if (auto e = PelkTest::Thrown<std::invalid_argument>([&] { Pelksim::Script::Parse(c.script); }, c.script)) {
      EXPECT_NE(std::string(e->what()).find(c.problem), std::string::npos) << e->what();
    }
  }
}

}  // namespace
