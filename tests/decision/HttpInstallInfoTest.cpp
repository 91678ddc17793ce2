// The install-info request against a loopback service: request bodies by
// link configuration, events 9 and 7, and the rules for the answer.
#include "decision/HttpInstallInfo.h"

#include <gtest/gtest.h>

#include "app/InstallerIni.h"
#include "comm/LoopbackService.h"
#include "platform/Text.h"

namespace {

using servicetest::Recorded;

const char kP1[] = "{\t\"product\": 6,\t\"version\" : \"0.0.0.0\" }";
const char kP2[] = "{\t\"product\": 6,\t\"version\" : \"0.0.0.0\" , ";

TEST(HttpInstallInfoBodyTest, Table) {
  const std::string p2 = kP2;
  const struct {
    const char* channel;
    const char* ep;
    std::string body;
  } cases[] = {
      {"", "", kP1},
      {"ch", "ep", p2 + "\"channelNo\" :  \"ch\",\"epCode\" :  \"ep\"}"},
      {"A1", "", p2 + "\"channelNo\" :  \"A1\"}"},
      {"", "ep", p2 + "\"epCode\" :  \"ep\"}"},
      {"渠道", "", p2 + "\"channelNo\" :  \"渠道\"}"},
      // Escaped so the request stays one valid JSON document.
      {"a\"b", "c\\d", p2 + "\"channelNo\" :  \"a\\\"b\",\"epCode\" :  \"c\\\\d\"}"},
      {"t\tn\n", "", p2 + "\"channelNo\" :  \"t\\tn\\n\"}"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HttpInstallInfo::BuildRequestBody(c.channel, c.ep), c.body) << c.channel << " / " << c.ep;
  }
}

TEST(HttpInstallInfoDecimalTest, Table) {
  const struct {
    const char* text;
    bool ok;
    int64_t value;
  } cases[] = {
      {"1048576", true, 1048576},      {"3000000000", true, 3000000000LL}, {"  \t+42x", true, 42},
      {"-7", true, -7},                {"9223372036854775807", true, INT64_MAX},
      {"9223372036854775808", false, 0}, {"", false, 0}, {"abc", false, 0}, {"+", false, 0}, {"+-1", false, 0},
      {" ", false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = 0;
    EXPECT_EQ(ParseDecimalInt64(c.text, &v), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(v, c.value) << '"' << c.text << '"';
    }
  }
}

class HttpInstallInfoTest : public servicetest::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    CInstallerIni::GetInstance()->Load(false);
    std::filesystem::remove(NetLinkIni());
    m_info = HttpInstallInfo::GetInstance();
    m_info->ResetForTest();
    // Both schemes answer alike, so an empty answer stays empty after the fallback.
    auto answer = [this](const httplib::Request& req, httplib::Response& res) {
      if (req.path == "/pc/UpdateRequest") {
        res.set_content(m_answer, "application/json");
      } else {
        res.set_content("ok", "text/plain");
      }
    };
    m_service->OnHttps(answer);
    m_service->OnHttp(answer);
  }

  std::string NetLinkIni() const { return platform::WideToUtf8(CInstallerIni::GetInstance()->NetLinkIniPath()); }
  void WriteLink(const std::string& channel, const std::string& ep) {
    testsupport::WriteFile(NetLinkIni(), "[Public]\nchannel=" + channel + "\nepCode=" + ep + "\n");
  }

  std::vector<Recorded> Requests(const std::string& path) const {
    std::vector<Recorded> out;
    for (const Recorded& r : m_service->Requests()) {
      if (r.path == path) out.push_back(r);
    }
    return out;
  }
  // Columns 9..11 (code, text 1, text 2) of each report sent.
  std::vector<std::vector<std::string>> Events() const {
    std::vector<std::vector<std::string>> out;
    for (const Recorded& r : Requests("/commonReport/report")) {
      std::vector<std::string> cols;
      size_t pos = 0;
      for (size_t tab = r.body.find('\t'); tab != std::string::npos; tab = r.body.find('\t', pos)) {
        cols.push_back(r.body.substr(pos, tab - pos));
        pos = tab + 1;
      }
      if (cols.size() >= 11) out.push_back({cols[8], cols[9], cols[10]});
    }
    return out;
  }

  std::string m_answer;
  HttpInstallInfo* m_info = nullptr;
};

const char kGood[] =
    "{\"isSuccess\":true,\"message\":\"ok\",\"data\":{\"state\":\"1\",\"version\":\"2.0.1\","
    "\"downUrl\":\"https://static.example/pkg/client.7z\",\"size\":\"1048576\",\"crc\":\"3000000000\"}}";

TEST_F(HttpInstallInfoTest, NoLinkConfigurationSendsTheShortBodyAfterEventNine) {
  m_answer = kGood;
  EXPECT_TRUE(m_info->RequestInstallInfo());

  const std::vector<Recorded> all = m_service->Requests();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].path, "/commonReport/report");  // posted before the request goes out
  EXPECT_EQ(all[1].path, "/pc/UpdateRequest");
  EXPECT_EQ(all[1].method, "POST");
  EXPECT_EQ(all[1].body, kP1);
  EXPECT_EQ(all[1].Header("Content-Type"), "application/json");
  EXPECT_EQ(all[1].headers.count("sign"), 0u);
  EXPECT_EQ(Events(), (std::vector<std::vector<std::string>>{{"9", "", ""}}));

  EXPECT_EQ(m_info->m_strVersion, L"2.0.1");
  EXPECT_EQ(m_info->m_strDownUrl, L"https://static.example/pkg/client.7z");
  EXPECT_EQ(m_info->m_nSize, 1048576);
  EXPECT_EQ(m_info->m_nCrc, 3000000000LL);  // beyond the signed 32-bit range, kept whole

  const std::string log = m_log->Text();
  EXPECT_NE(log.find("channel= epcode="), std::string::npos);
  EXPECT_NE(log.find(" Get /pc/UpdateRequest Start\n"), std::string::npos);
  EXPECT_NE(log.find(std::string(" Get /pc/UpdateRequest Start PostMessage[") + kP1 + "]"), std::string::npos);
  EXPECT_NE(log.find(std::string(" Get /pc/UpdateRequest response[") + kGood + "] "), std::string::npos);
}

TEST_F(HttpInstallInfoTest, LinkValuesGoIntoBodyAndEventNine) {
  WriteLink("A1", "");
  m_answer = kGood;
  EXPECT_TRUE(m_info->RequestInstallInfo());
  ASSERT_EQ(Requests("/pc/UpdateRequest").size(), 1u);
  EXPECT_EQ(Requests("/pc/UpdateRequest")[0].body, std::string(kP2) + "\"channelNo\" :  \"A1\"}");
  EXPECT_EQ(Events(), (std::vector<std::vector<std::string>>{{"9", "A1", ""}}));
  EXPECT_EQ(m_info->m_strChannel, L"A1");
  EXPECT_EQ(m_info->m_strEpCode, L"");

  WriteLink("渠道", "E 9");
  EXPECT_TRUE(m_info->RequestInstallInfo());
  EXPECT_EQ(Requests("/pc/UpdateRequest")[1].body,
            std::string(kP2) + "\"channelNo\" :  \"渠道\",\"epCode\" :  \"E 9\"}");
  EXPECT_EQ(Events().back(), (std::vector<std::string>{"9", "渠道", "E 9"}));
  EXPECT_NE(m_log->Text().find("channel=渠道 epcode=E 9"), std::string::npos);
}

TEST_F(HttpInstallInfoTest, AnswerRules) {
  const std::string good = kGood;
  const std::string data =
      "\"data\":{\"state\":\"1\",\"version\":\"2.0.1\",\"downUrl\":\"u\",\"size\":\"10\",\"crc\":\"20\"}";
  const struct {
    const char* what;
    std::string answer;
    bool ok;
    const char* errorLine;  // the Error text logged on failure
    bool event7;
  } cases[] = {
      {"accepted", good, true, nullptr, false},
      {"trailing CR LF", good + "\r\n", false, "readerUpdate.parse false", true},
      {"CR LF lines: only the brace is parsed", "{\r\n\"isSuccess\":true,\r\n" + data + "\r\n}", false,
       "readerUpdate.parse false", true},
      {"LF lines are one piece", "{\n\"isSuccess\":true,\n" + data + "\n}", true, nullptr, false},
      {"last CR LF piece is the answer", "garbage\r\n" + good, true, nullptr, false},
      {"empty answer", "", false, "readerUpdate.parse false", true},
      {"text after the document", good + " x", false, "readerUpdate.parse false", true},
      {"isSuccess as a string", "{\"isSuccess\":\"true\"," + data + "}", false, "isSuccess false", false},
      {"isSuccess as a number", "{\"isSuccess\":1," + data + "}", false, "isSuccess false", false},
      {"isSuccess missing", "{" + data + "}", false, "isSuccess false", false},
      {"state string 0", "{\"isSuccess\":true,\"data\":{\"state\":\"0\",\"size\":\"1\",\"crc\":\"1\"}}", false,
       "Failed  state 0", false},
      {"state number 0", "{\"isSuccess\":true,\"data\":{\"state\":0,\"size\":\"1\",\"crc\":\"1\"}}", true, nullptr,
       false},
      {"not an object", "[1,2]", false, "answer is not an object", false},
      {"a bare number", "42", false, "answer is not an object", false},
      {"data not an object", "{\"isSuccess\":true,\"data\":[1]}", false, "data is not an object", false},
      {"data missing", "{\"isSuccess\":true}", false, "size or crc unreadable", false},
      {"size a number", "{\"isSuccess\":true,\"data\":{\"size\":10,\"crc\":\"1\"}}", false,
       "size or crc unreadable", false},
      {"crc without digits", "{\"isSuccess\":true,\"data\":{\"size\":\"10\",\"crc\":\"x1\"}}", false,
       "size or crc unreadable", false},
      {"size out of range", "{\"isSuccess\":true,\"data\":{\"size\":\"99999999999999999999\",\"crc\":\"1\"}}",
       false, "size or crc unreadable", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m_info->ResetForTest();
    m_answer = c.answer;
    const size_t eventsBefore = Events().size();
    const int errorsBefore = c.errorLine ? m_log->Count(c.errorLine) : 0;
    EXPECT_EQ(m_info->RequestInstallInfo(), c.ok);
    const std::vector<std::vector<std::string>> events = Events();
    ASSERT_GE(events.size(), eventsBefore + 1);
    EXPECT_EQ(events[eventsBefore][0], "9");
    if (c.event7) {
      ASSERT_EQ(events.size(), eventsBefore + 2);
      EXPECT_EQ(events.back(), (std::vector<std::string>{"7", "0", ""}));
    } else {
      EXPECT_EQ(events.size(), eventsBefore + 1);
    }
    if (c.errorLine) {
      EXPECT_EQ(m_log->Count(c.errorLine), errorsBefore + 1);
    }
    if (!c.ok) {
      EXPECT_EQ(m_info->m_strDownUrl, L"");
      EXPECT_EQ(m_info->m_nSize, 0);
    }
  }
}

TEST_F(HttpInstallInfoTest, RefusedAnswerLeavesTheAcceptedRecord) {
  m_answer = kGood;
  ASSERT_TRUE(m_info->RequestInstallInfo());
  m_answer = "{\"isSuccess\":true,\"data\":{\"state\":\"1\",\"downUrl\":\"other\",\"size\":\"5\",\"crc\":\"oops\"}}";
  EXPECT_FALSE(m_info->RequestInstallInfo());
  EXPECT_EQ(m_info->m_strDownUrl, L"https://static.example/pkg/client.7z");
  EXPECT_EQ(m_info->m_nSize, 1048576);
  EXPECT_EQ(m_info->m_nCrc, 3000000000LL);
}

TEST_F(HttpInstallInfoTest, InvalidUtf8TextBecomesEmpty) {
  m_answer = "{\"isSuccess\":true,\"data\":{\"version\":\"\xff\xfe\",\"downUrl\":\"u\",\"size\":\"0\",\"crc\":\"0\"}}";
  EXPECT_TRUE(m_info->RequestInstallInfo());
  EXPECT_EQ(m_info->m_strVersion, L"");
  EXPECT_EQ(m_info->m_strDownUrl, L"u");
  EXPECT_EQ(m_info->m_nSize, 0);  // accepted: the check turns a zero size into "no package"
}

TEST_F(HttpInstallInfoTest, NoServiceAtAllIsAParseFailure) {
  PointDeployment(servicetest::ClosedPort(), servicetest::ClosedPort());
  EXPECT_FALSE(m_info->RequestInstallInfo());
  EXPECT_EQ(m_log->Count(" Get /pc/UpdateRequest readerUpdate.parse false"), 1);
  EXPECT_EQ(m_log->Count(" Get /pc/UpdateRequest response[] "), 1);
}

}  // namespace
