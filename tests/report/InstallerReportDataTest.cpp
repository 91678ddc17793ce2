// Install reports as the statistics service receives them: the 14-column
// line, the headers, and a signature checked by an independent MD5.
#include "report/InstallerReportData.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "comm/LoopbackService.h"

namespace {

using servicetest::Recorded;

std::string OpenSslMd5Upper(const std::string& msg) {
  unsigned char d[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(msg.data(), msg.size(), d, &n, EVP_md5(), nullptr);
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (unsigned i = 0; i < n; ++i) {
    s += digits[d[i] >> 4];
    s += digits[d[i] & 15];
  }
  return s;
}

// Columns of a line that ends with a tab (the last, empty piece dropped).
std::vector<std::string> Columns(const std::string& line) {
  std::vector<std::string> cols;
  size_t pos = 0;
  for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', pos)) {
    cols.push_back(line.substr(pos, tab - pos));
    pos = tab + 1;
  }
  EXPECT_EQ(pos, line.size()) << "line must end with a tab";
  return cols;
}

std::tm FixedTime(int second) {
  std::tm t {};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 4;
  t.tm_hour = 5;
  t.tm_min = 6;
  t.tm_sec = second;
  return t;
}

class InstallerReportDataTest : public servicetest::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    m_sender = CInstallerReportData::GetInstance();
    m_sender->SetClockForTest([this] { return FixedTime(m_second); });
  }
  void TearDown() override {
    m_sender->SetClockForTest(nullptr);
    ServiceTest::TearDown();
  }

  // The one report the service got since the last call.
  Recorded Received() {
    const std::vector<Recorded> reqs = m_service->Requests();
    EXPECT_EQ(reqs.size(), m_seen + 1);
    m_seen = reqs.size();
    return reqs.empty() ? Recorded{} : reqs.back();
  }

  void ExpectSigned(const Recorded& r) {
    const std::string key = "7PQE3VDRXK5MUGTB9YCN";
    EXPECT_EQ(r.Header("sign"), OpenSslMd5Upper(key + "RizEdere|ZadavAVOruzA2|" + r.body + key));
    EXPECT_EQ(r.Header("projectId"), "RizEdere");
    EXPECT_EQ(r.Header("businessId"), "ZadavAVOruzA2");
    EXPECT_EQ(r.Header("Content-Type"), "application/json");
    EXPECT_EQ(r.path, "/commonReport/report");
    EXPECT_EQ(r.method, "POST");
  }

  CInstallerReportData* m_sender = nullptr;
  int m_second = 7;
  size_t m_seen = 0;
};

TEST_F(InstallerReportDataTest, EventLineHasFourteenColumnsAndIsSigned) {
  m_sender->ReportEvent(1, "", "");
  const Recorded r = Received();
  ExpectSigned(r);
  EXPECT_TRUE(r.https);
  const std::vector<std::string> expected = {"2026.03.04 05:06:07", m_sender->RunId(), m_sender->MacText(), "", "",
                                             m_sender->LocalIp(), "", "28", "1", "", "", "", "", ""};
  EXPECT_EQ(Columns(r.body), expected);
  EXPECT_EQ(m_sender->RunId().size(), 32u);
  EXPECT_NE(m_log->Text().find("Post 127.0.0.1  /commonReport/report [" + r.body + "]  response[ok]"),
            std::string::npos);
}

TEST_F(InstallerReportDataTest, SameEventLaterDiffersOnlyInTimeAndSignature) {
  m_sender->ReportEvent(7, "0", "");
  const Recorded first = Received();
  m_second = 8;
  m_sender->ReportEvent(7, "0", "");
  const Recorded second = Received();
  std::vector<std::string> a = Columns(first.body);
  std::vector<std::string> b = Columns(second.body);
  ASSERT_EQ(a.size(), 14u);
  ASSERT_EQ(b.size(), 14u);
  EXPECT_EQ(a[0], "2026.03.04 05:06:07");
  EXPECT_EQ(b[0], "2026.03.04 05:06:08");
  EXPECT_EQ(a[9], "0");
  EXPECT_EQ(a[10], "");
  a[0] = b[0];
  EXPECT_EQ(a, b);
  EXPECT_NE(first.Header("sign"), second.Header("sign"));
  ExpectSigned(second);
}

TEST_F(InstallerReportDataTest, DataPartIsBroughtToFivePieces) {
  const struct {
    const char* data;
    std::vector<std::string> tail;  // columns 8.. of the line
  } cases[] = {
      {"a\tb\tc\td\te\tf\t", {"a", "b", "c", "d", "e", ""}},  // six pieces: the first five kept
      {"a\tb\tc\t", {"a", "b", "c", "", "", "", "", ""}},     // three: two one-tab entries
      {"28\t5\tx\ty\tz\t", {"28", "5", "x", "y", "z", ""}},   // a tab inside text 1
      {"a\t\tc", {"a", "", "c", "", "", "", "", ""}},         // inner empty piece counts
      {"", std::vector<std::string>(11, "")},                 // no pieces: five one-tab entries
  };
  for (const auto& c : cases) {
    m_sender->ReportData(c.data);
    const Recorded r = Received();
    ExpectSigned(r);
    const std::vector<std::string> cols = Columns(r.body);
    ASSERT_GE(cols.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(cols.begin() + 7, cols.end()), c.tail) << '"' << c.data << '"';
  }
}

TEST_F(InstallerReportDataTest, NonAsciiTextIsSignedAsUtf8) {
  m_sender->ReportEvent(9, "渠道一", "企业");
  const Recorded r = Received();
  ExpectSigned(r);
  const std::vector<std::string> cols = Columns(r.body);
  ASSERT_EQ(cols.size(), 14u);
  EXPECT_EQ(cols[9], "渠道一");
  EXPECT_EQ(cols[10], "企业");
}

TEST_F(InstallerReportDataTest, UnreachableServiceIsLoggedWithAnEmptyResponse) {
  PointDeployment(servicetest::ClosedPort(), servicetest::ClosedPort());
  EXPECT_TRUE(m_sender->ReportData("28\t0\t\t\t"));
  EXPECT_NE(m_log->Text().find("]  response[]"), std::string::npos);
  EXPECT_EQ(m_log->Count("https turn to http"), 1);
}

}  // namespace
