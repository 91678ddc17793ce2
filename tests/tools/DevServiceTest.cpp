// The demo service as a real child process: install-info answers, package
// faults, report signature checks, agreement page, listener switching and stop.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>
#include <sys/wait.h>
#include <zlib.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "support/DevService.h"
#include "support/ScratchEnv.h"

namespace {

using testsupport::DevService;
using testsupport::DevServiceConfig;

Json::Value ParseJson(const std::string& text, bool* ok = nullptr) {
  Json::CharReaderBuilder b;
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  Json::Value v;
  std::string errs;
  bool parsed = reader->parse(text.data(), text.data() + text.size(), &v, &errs);
  if (ok) *ok = parsed;
  return v;
}

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Entries of a 7z archive held in memory: name -> (content, mode).
std::map<std::string, std::pair<std::string, int>> ReadArchive(const std::string& bytes) {
  std::map<std::string, std::pair<std::string, int>> out;
  std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
  archive_read_support_format_7zip(a.get());
  if (archive_read_open_memory(a.get(), bytes.data(), bytes.size()) != ARCHIVE_OK) return out;
  archive_entry* e;
  while (archive_read_next_header(a.get(), &e) == ARCHIVE_OK) {
    std::string content;
    char buf[4096];
    la_ssize_t n;
    while ((n = archive_read_data(a.get(), buf, sizeof buf)) > 0) content.append(buf, n);
    out[archive_entry_pathname(e)] = {content, static_cast<int>(archive_entry_mode(e))};
  }
  return out;
}

class DevServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFile(env.Path("pkg1/tvClient.exe"), "#!/bin/sh\necho client v1\n");
    std::filesystem::permissions(env.Path("pkg1/tvClient.exe"), std::filesystem::perms(0755));
    // Poorly compressible data, so the archive is large enough for the fault offsets.
    std::string data;
    uint32_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
      x = x * 1103515245u + 12345u;
      data += static_cast<char>(x >> 24);
    }
    testsupport::WriteFile(env.Path("pkg1/lib/data.bin"), data + "end");
    testsupport::WriteFile(env.Path("pkg2/tvClient.exe"), "#!/bin/sh\necho client v2 (newer)\n");
    service = std::make_unique<DevService>(env.Path("svc"));
  }

  void StartService(const std::string& scenario = "") {
    DevServiceConfig cfg;
    cfg.package = env.Path("pkg1");
    cfg.packageV2 = env.Path("pkg2");
    cfg.scenario = scenario;
    ASSERT_TRUE(service->Start(cfg)) << service->Error();
  }

  std::unique_ptr<httplib::Client> Client(bool https) {
    std::unique_ptr<httplib::Client> c;
    if (https) {
      c = std::make_unique<httplib::Client>("https://localhost:" +
                                            std::to_string(service->HttpsPort()));
      c->set_ca_cert_path(service->CaPath().c_str());
      c->enable_server_certificate_verification(true);
    } else {
      c = std::make_unique<httplib::Client>("http://127.0.0.1:" +
                                            std::to_string(service->HttpPort()));
    }
    c->set_connection_timeout(5);
    c->set_read_timeout(5);
    return c;
  }

  httplib::Result Update(bool https, const std::string& body = "{\t\"product\": 6 }") {
    return Client(https)->Post("/pc/UpdateRequest", body, "application/json");
  }

  std::string ServedPackage(int version) {
    return testsupport::ReadFile(service->PackagePath(version));
  }

  testsupport::ScratchEnv env;
  std::unique_ptr<DevService> service;
};

TEST_F(DevServiceTest, AnswersWithThePackageItServesOverBothSchemes) {
  StartService();
  for (bool https : {true, false}) {
    SCOPED_TRACE(https ? "https" : "http");
    auto res = Update(https);
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body.find("\r\n"), std::string::npos);
    bool ok = false;
    Json::Value v = ParseJson(res->body, &ok);
    ASSERT_TRUE(ok) << res->body;
    EXPECT_TRUE(v["isSuccess"].isBool() && v["isSuccess"].asBool());
    const Json::Value& d = v["data"];
    EXPECT_EQ(d["state"], Json::Value("1"));
    EXPECT_TRUE(d["version"].isString());
    ASSERT_TRUE(d["downUrl"].isString());
    ASSERT_TRUE(d["size"].isString());
    ASSERT_TRUE(d["crc"].isString());

    // The announced URL, size and CRC describe what a download actually gets.
    const std::string url = d["downUrl"].asString();
    const std::string prefix = "https://127.0.0.1:" + std::to_string(service->HttpsPort());
    ASSERT_EQ(url.compare(0, prefix.size(), prefix), 0) << url;
    httplib::SSLClient dl("127.0.0.1", service->HttpsPort());
    dl.set_ca_cert_path(service->CaPath().c_str());
    dl.enable_server_certificate_verification(true);
    auto got = dl.Get(url.substr(prefix.size()).c_str());
    ASSERT_TRUE(got) << httplib::to_string(got.error());
    EXPECT_EQ(std::to_string(got->body.size()), d["size"].asString());
    EXPECT_EQ(std::to_string(Crc(got->body)), d["crc"].asString());

    auto entries = ReadArchive(got->body);
    ASSERT_EQ(entries.count("tvClient.exe"), 1u);
    EXPECT_EQ(entries["tvClient.exe"].first, "#!/bin/sh\necho client v1\n");
    EXPECT_EQ(entries["tvClient.exe"].second & 0777, 0755);
    EXPECT_EQ(entries["lib/data.bin"].first.size(), 200003u);
  }
}

TEST_F(DevServiceTest, UpdateAnswerVariantsFollowTheScenario) {
  StartService();
  struct Case {
    const char* scenario;
    std::function<void(const std::string& body, int status)> check;
  };
  const Case cases[] = {
      {"[update]\nmode = crlf\n",
       [](const std::string& b, int) {
         ASSERT_GE(b.size(), 2u);
         EXPECT_EQ(b.substr(b.size() - 2), "\r\n");
       }},
      {"[update]\nmode = lines\n",
       [](const std::string& b, int) {
         EXPECT_NE(b.find("\r\n"), std::string::npos);
         EXPECT_EQ(b.substr(b.rfind("\r\n") + 2), "}");
       }},
      {"[update]\nmode = lf-lines\n",
       [](const std::string& b, int) {
         EXPECT_EQ(b.find('\r'), std::string::npos);
         EXPECT_NE(b.find('\n'), std::string::npos);
         bool ok;
         ParseJson(b, &ok);
         EXPECT_TRUE(ok);
       }},
      {"[update]\nmode = malformed\n",
       [](const std::string& b, int) {
         bool ok;
         ParseJson(b, &ok);
         EXPECT_FALSE(ok) << b;
         EXPECT_EQ(b.front(), '{');
       }},
      {"[update]\nmode = empty\nstatus = 204\n",
       [](const std::string& b, int s) {
         EXPECT_TRUE(b.empty());
         EXPECT_EQ(s, 204);
       }},
      {"[update]\nis_success = 1\n",
       [](const std::string& b, int) { EXPECT_TRUE(ParseJson(b)["isSuccess"].isInt()); }},
      {"[update]\nis_success = \"true\"\n",
       [](const std::string& b, int) { EXPECT_EQ(ParseJson(b)["isSuccess"], Json::Value("true")); }},
      {"[update]\nis_success = missing\n",
       [](const std::string& b, int) { EXPECT_FALSE(ParseJson(b).isMember("isSuccess")); }},
      {"[update]\nis_success = false\nstatus = 500\n",
       [](const std::string& b, int s) {
         EXPECT_EQ(ParseJson(b)["isSuccess"], Json::Value(false));
         EXPECT_EQ(s, 500);
       }},
      {"[update]\nstate = \"0\"\n",
       [](const std::string& b, int) { EXPECT_EQ(ParseJson(b)["data"]["state"], Json::Value("0")); }},
      {"[update]\nstate = 0\n",
       [](const std::string& b, int) { EXPECT_TRUE(ParseJson(b)["data"]["state"].isInt()); }},
      {"[update]\nsize = \"0\"\ncrc = \"3000000000\"\nversion = 2.0.1\n",
       [](const std::string& b, int) {
         Json::Value d = ParseJson(b)["data"];
         EXPECT_EQ(d["size"], Json::Value("0"));
         EXPECT_EQ(d["crc"], Json::Value("3000000000"));
         EXPECT_EQ(d["version"], Json::Value("2.0.1"));
       }},
      {"[update]\nurl = http://{host}:{http}/person/cloud_pc.7z\n",
       [this](const std::string& b, int) {
         EXPECT_EQ(ParseJson(b)["data"]["downUrl"].asString(),
                   "http://127.0.0.1:" + std::to_string(service->HttpPort()) + "/person/cloud_pc.7z");
       }},
      {"[update]\ndata = missing\n",
       [](const std::string& b, int) { EXPECT_FALSE(ParseJson(b).isMember("data")); }},
      {"[update]\nbody = [1,2,3]\\r\\n\n",
       [](const std::string& b, int) { EXPECT_EQ(b, "[1,2,3]\r\n"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    ASSERT_TRUE(service->WriteScenario(c.scenario));
    auto res = Update(true);
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    c.check(res->body, res->status);
  }
}

TEST_F(DevServiceTest, RefusedAnswerPerSchemeAndRequestLog) {
  StartService("[update]\nmode.https = close\n");
  const std::string body = "{\t\"product\": 6,\t\"version\" : \"0.0.0.0\" , \"channelNo\" :  \"A1\"}";
  auto overTls = Update(true, body);
  EXPECT_FALSE(overTls);  // the connection closes without an answer
  auto plain = Update(false, body);
  ASSERT_TRUE(plain) << httplib::to_string(plain.error());
  EXPECT_EQ(ParseJson(plain->body)["isSuccess"], Json::Value(true));

  auto requests = service->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0]["scheme"].asString(), "https");
  EXPECT_EQ(requests[1]["scheme"].asString(), "http");
  for (const auto& r : requests) {
    EXPECT_EQ(r["method"].asString(), "POST");
    EXPECT_EQ(r["path"].asString(), "/pc/UpdateRequest");
    EXPECT_EQ(r["body"].asString(), body);
    EXPECT_EQ(r["headers"]["Content-Type"].asString(), "application/json");
  }
}

TEST_F(DevServiceTest, ScenarioSwitchesToTheSecondPackageBetweenRequests) {
  StartService();
  auto first = Update(false);
  ASSERT_TRUE(first);
  ASSERT_TRUE(service->WriteScenario("[update]\npackage = v2\nversion = 2.0.0.0\n"));
  auto second = Update(false);
  ASSERT_TRUE(second);
  Json::Value d1 = ParseJson(first->body)["data"], d2 = ParseJson(second->body)["data"];
  EXPECT_EQ(d2["version"].asString(), "2.0.0.0");
  EXPECT_NE(d1["downUrl"], d2["downUrl"]);
  const std::string v2 = ServedPackage(2);
  EXPECT_EQ(d2["size"].asString(), std::to_string(v2.size()));
  EXPECT_EQ(d2["crc"].asString(), std::to_string(Crc(v2)));
  EXPECT_EQ(ReadArchive(v2)["tvClient.exe"].first, "#!/bin/sh\necho client v2 (newer)\n");

  // The browser fallback path serves the package the scenario names.
  auto fallback = Client(true)->Get("/person/cloud_pc.7z");
  ASSERT_TRUE(fallback);
  EXPECT_EQ(fallback->body, v2);
}

TEST_F(DevServiceTest, PackageFaults) {
  StartService();
  const std::string pkg = ServedPackage(1);
  ASSERT_GT(pkg.size(), 1000u);
  struct Case {
    const char* scenario;
    bool response;          // whether the client gets a whole response
    int status;
    std::function<void(const std::string& received)> check;
  };
  const Case cases[] = {
      {"", true, 200, [&](const std::string& r) { EXPECT_EQ(r, pkg); }},
      {"[download]\nfault = truncate\n", true, 200,
       [&](const std::string& r) { EXPECT_EQ(r, pkg.substr(0, pkg.size() - 1)); }},
      {"[download]\nfault = 404\n", true, 404,
       [](const std::string& r) { EXPECT_NE(r.find("404"), std::string::npos); }},
      {"[download]\nfault = 204\n", true, 204, [](const std::string& r) { EXPECT_TRUE(r.empty()); }},
      {"[download]\nfault = html\n", true, 200,
       [](const std::string& r) { EXPECT_EQ(r.rfind("<!DOCTYPE html>", 0), 0u); }},
      {"[download]\nfault = close\nfault_after = 1000\n", false, 0,
       [&](const std::string& r) { EXPECT_EQ(r, pkg.substr(0, 1000)); }},
      {"[download]\nfault = stall\nfault_after = 700\nstall_seconds = 30\n", false, 0,
       [&](const std::string& r) { EXPECT_EQ(r, pkg.substr(0, 700)); }},
      // Throttled answers still carry the whole package.
      {"[download]\nrate = 2000000\n", true, 200, [&](const std::string& r) { EXPECT_EQ(r, pkg); }},
      // A fault for one scheme leaves the other whole.
      {"[download]\nfault.http = 404\n", true, 200, [&](const std::string& r) { EXPECT_EQ(r, pkg); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    ASSERT_TRUE(service->WriteScenario(c.scenario));
    auto client = Client(true);
    client->set_read_timeout(2);  // ends the stall case
    std::string received;
    auto res = client->Get("/download/v1/cloud_pc.7z", [&](const char* data, size_t n) {
      received.append(data, n);
      return true;
    });
    ASSERT_EQ(static_cast<bool>(res), c.response) << httplib::to_string(res.error());
    if (res) {
      EXPECT_EQ(res->status, c.status);
    }
    c.check(received);
  }
}

TEST_F(DevServiceTest, HttpsListenerClosesAndReopensOnTheSamePort) {
  StartService("[listen]\nhttps = off\n");
  const int port = service->HttpsPort();
  ASSERT_GT(port, 0);
  EXPECT_FALSE(testsupport::PortOpen(port));
  auto plain = Update(false);
  ASSERT_TRUE(plain);
  // Closed HTTPS still names its port in the package URL.
  EXPECT_NE(ParseJson(plain->body)["data"]["downUrl"].asString().find(":" + std::to_string(port)),
            std::string::npos);

  ASSERT_TRUE(service->WriteScenario("[listen]\nhttps = on\n"));
  ASSERT_TRUE(service->WaitListening(true, true));
  auto tls = Update(true);
  ASSERT_TRUE(tls) << httplib::to_string(tls.error());
  EXPECT_EQ(tls->status, 200);
}

// Builds a report line as the installer sends it.
std::string ReportLine(int code, const std::string& text1, const std::string& text2) {
  return "2026.12.11 08:05:09\tRUN\t00-11-22-33-44-55\t\t\t127.0.0.1\t\t28\t" +
         std::to_string(code) + "\t" + text1 + "\t" + text2 + "\t\t\t\t";
}

TEST_F(DevServiceTest, ReportsAreCheckedAgainstTheirSignature) {
  StartService();
  // Signatures computed outside this code base for these exact lines.
  const std::string line1 = ReportLine(1, "", "");
  const std::string line9 = ReportLine(9, "渠道一", "EP1");
  struct Case {
    std::string body;
    std::map<std::string, std::string> headers;
    bool valid;
    const char* reason;
  };
  const std::map<std::string, std::string> ids = {{"projectId", "RizEdere"},
                                                  {"businessId", "ZadavAVOruzA2"}};
  auto with = [&](std::map<std::string, std::string> h, const char* sign) {
    if (sign) h["sign"] = sign;
    return h;
  };
  const Case cases[] = {
      {line1, with(ids, "FC96BED7053775201B5D05F2735FF690"), true, ""},
      {line9, with(ids, "A2A4275D71EB1C2AF49BBDA8355B1DA7"), true, ""},
      {line9, with(ids, "a2a4275d71eb1c2af49bbda8355b1da7"), false, "signature mismatch"},
      {ReportLine(2, "", ""), with(ids, "FC96BED7053775201B5D05F2735FF690"), false,
       "signature mismatch"},
      {line1, with({{"projectId", "Other"}, {"businessId", "ZadavAVOruzA2"}},
                   "FC96BED7053775201B5D05F2735FF690"),
       false, "unknown project or business"},
      {line1, with(ids, nullptr), false, "missing header"},
  };
  for (const Case& c : cases) {
    httplib::Headers headers(c.headers.begin(), c.headers.end());
    auto res = Client(true)->Post("/commonReport/report", headers, c.body, "application/json");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, c.valid ? 200 : 403);
    EXPECT_EQ(ParseJson(res->body)["code"].asInt(), c.valid ? 0 : 403);
  }

  std::vector<Json::Value> reports;
  ASSERT_TRUE(service->WaitForReports(std::size(cases), 5000, &reports));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reports[i]["valid"].asBool(), cases[i].valid);
    EXPECT_EQ(reports[i]["reason"].asString(), cases[i].reason);
    EXPECT_EQ(reports[i]["body"].asString(), cases[i].body);
  }
  const Json::Value& r9 = reports[1];
  EXPECT_EQ(r9["event"].asInt(), 9);
  EXPECT_EQ(r9["type"].asString(), "28");
  EXPECT_EQ(r9["text1"].asString(), "渠道一");
  EXPECT_EQ(r9["text2"].asString(), "EP1");
  EXPECT_EQ(r9["mac"].asString(), "00-11-22-33-44-55");
  EXPECT_EQ(r9["ip"].asString(), "127.0.0.1");
  EXPECT_EQ(r9["columns"].size(), 14u);
  EXPECT_TRUE(r9["endsWithTab"].asBool());
  EXPECT_EQ(r9["contentType"].asString(), "application/json");
  EXPECT_EQ(r9["scheme"].asString(), "https");
}

TEST_F(DevServiceTest, ReportThatGetsNoAnswerIsStillRecorded) {
  StartService("[report]\nmode.https = close\n");
  const std::string line = ReportLine(1, "", "");
  httplib::Headers h = {{"sign", "FC96BED7053775201B5D05F2735FF690"},
                        {"projectId", "RizEdere"},
                        {"businessId", "ZadavAVOruzA2"}};
  EXPECT_FALSE(Client(true)->Post("/commonReport/report", h, line, "application/json"));
  auto plain = Client(false)->Post("/commonReport/report", h, line, "application/json");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->status, 200);
  std::vector<Json::Value> reports;
  ASSERT_TRUE(service->WaitForReports(2, 5000, &reports));
  EXPECT_EQ(reports[0]["scheme"].asString(), "https");
  EXPECT_EQ(reports[1]["scheme"].asString(), "http");
  EXPECT_TRUE(reports[1]["valid"].asBool());
}

TEST_F(DevServiceTest, AgreementPageShowsItsParametersEscaped) {
  StartService();
  auto res = Client(true)->Get("/pc/getAgreement?code=pcinstall&channel=A%3Cb%3E1&epcode=EP7");
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_EQ(res->status, 200);
  EXPECT_NE(res->get_header_value("Content-Type").find("text/html"), std::string::npos);
  EXPECT_NE(res->body.find("<dd id=\"code\">pcinstall</dd>"), std::string::npos);
  EXPECT_NE(res->body.find("<dd id=\"channel\">A&lt;b&gt;1</dd>"), std::string::npos);
  EXPECT_NE(res->body.find("<dd id=\"epcode\">EP7</dd>"), std::string::npos);
  auto missing = Client(false)->Get("/pc/getAgreement");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 400);
  auto unknown = Client(false)->Get("/nothing/here");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 404);
}

TEST_F(DevServiceTest, StartFailuresAreReportedAndStopIsClean) {
  {
    DevService bad(env.Path("bad"));
    DevServiceConfig cfg;
    cfg.package = env.Path("no/such/package");
    EXPECT_FALSE(bad.Start(cfg));
    EXPECT_NE(bad.Error().find("package not found"), std::string::npos) << bad.Error();
  }
  StartService();
  {
    DevService clash(env.Path("clash"));
    DevServiceConfig cfg;
    cfg.httpPort = service->HttpPort();  // taken by the first service
    EXPECT_FALSE(clash.Start(cfg));
    EXPECT_NE(clash.Error().find("cannot listen"), std::string::npos) << clash.Error();
  }
  EXPECT_TRUE(service->Running());
  const int status = service->Stop();
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(testsupport::PortOpen(service->HttpPort()));
}

}  // namespace
