// The request client against loopback HTTPS and HTTP servers: every branch
// of the HTTPS-then-HTTP rule, the CA bundle handling and the wire format.
#include "comm/HttpLibRequest.h"

#include <gtest/gtest.h>

#include "app/PathUtil.h"
#include "comm/LoopbackService.h"
#include "platform/ModulePath.h"

namespace {

using servicetest::LoopbackService;
using servicetest::Recorded;

class HttpLibRequestTest : public servicetest::ServiceTest {
 protected:
  void TearDown() override {
    platform::SetModuleFileNameForTest("");
    ServiceTest::TearDown();
  }
  std::string Post(const std::string& body = "{}") {
    std::string response;
    HttpPost("127.0.0.1", "/pc/UpdateRequest", {{"sign", "ABC"}, {"projectId", "P"}}, body.c_str(), response);
    return response;
  }
};

TEST_F(HttpLibRequestTest, HttpsAnswerIsTakenInOneAttemptWithTheWireFormat) {
  m_service->OnHttps([](const httplib::Request&, httplib::Response& res) {
    res.set_content("{\"isSuccess\":true}", "application/json");
  });
  EXPECT_EQ(Post("line\twith tab"), "{\"isSuccess\":true}");

  const std::vector<Recorded> reqs = m_service->Requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_TRUE(reqs[0].https);
  EXPECT_EQ(reqs[0].method, "POST");
  EXPECT_EQ(reqs[0].path, "/pc/UpdateRequest");
  EXPECT_EQ(reqs[0].body, "line\twith tab");
  EXPECT_EQ(reqs[0].Header("Content-Type"), "application/json");
  EXPECT_EQ(reqs[0].Header("User-Agent"), "cpp-httplib/0.2");
  EXPECT_EQ(reqs[0].headers.count("User-Agent"), 1u);
  EXPECT_EQ(reqs[0].Header("sign"), "ABC");
  EXPECT_EQ(reqs[0].Header("projectId"), "P");
  EXPECT_EQ(m_log->Count("https turn to http"), 0);
  EXPECT_EQ(m_log->Count("can not find cacert file"), 0);
}

TEST_F(HttpLibRequestTest, ErrorPageWithBodyIsReturnedWithoutHttpAttempt) {
  m_service->OnHttps([](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("<html>not here</html>", "text/html");
  });
  EXPECT_EQ(Post(), "<html>not here</html>");
  EXPECT_EQ(m_service->CountScheme(false), 0);
}

TEST_F(HttpLibRequestTest, EmptyHttpsBodyLeadsToOneHttpAttempt) {
  m_service->OnHttps([](const httplib::Request&, httplib::Response& res) { res.status = 204; });
  m_service->OnHttp([](const httplib::Request&, httplib::Response& res) { res.set_content("plain", "text/plain"); });
  EXPECT_EQ(Post("b"), "plain");
  EXPECT_EQ(m_service->CountScheme(true), 1);
  ASSERT_EQ(m_service->CountScheme(false), 1);
  const Recorded http = m_service->Requests().back();
  EXPECT_EQ(http.body, "b");
  EXPECT_EQ(http.Header("sign"), "ABC");
  EXPECT_EQ(http.Header("User-Agent"), "cpp-httplib/0.2");
  EXPECT_EQ(m_log->Count("https turn to http"), 1);
}

TEST_F(HttpLibRequestTest, ClosedHttpsPortFallsBackToHttp) {
  PointDeployment(servicetest::ClosedPort(), m_service->HttpPort());
  EXPECT_EQ(Post(), "ok");
  EXPECT_EQ(m_service->CountScheme(false), 1);
  EXPECT_EQ(m_log->Count("https turn to http"), 1);
}

TEST_F(HttpLibRequestTest, NothingReachableLeavesTheResponseAsItWas) {
  PointDeployment(servicetest::ClosedPort(), servicetest::ClosedPort());
  std::string response = "kept";
  HttpPost("127.0.0.1", "/x", {}, "b", response);
  EXPECT_EQ(response, "kept");
}

TEST_F(HttpLibRequestTest, MissingCaBundleIsLoggedAndHttpsRunsUnverified) {
  RemoveCaBundle();
  EXPECT_EQ(Post(), "ok");
  EXPECT_EQ(m_service->CountScheme(true), 1);
  EXPECT_EQ(m_service->CountScheme(false), 0);
  EXPECT_EQ(m_log->Count("can not find cacert file"), 1);
}

TEST_F(HttpLibRequestTest, CaBundleBesideTheExecutableIsTheSecondCandidate) {
  std::string found;
  ASSERT_TRUE(FindCaBundle(&found));
  EXPECT_EQ(found, CaBundlePath());

  platform::SetModuleFileNameForTest(m_env.Path("bin/installer"));
  RemoveCaBundle();
  EXPECT_FALSE(FindCaBundle(&found));
  EXPECT_EQ(found, m_env.Path("bin/cacert.pem"));  // the last candidate tried

  testsupport::WriteFile(m_env.Path("bin/cacert.pem"), m_service->CaPem());
  ASSERT_TRUE(FindCaBundle(&found));
  EXPECT_EQ(found, m_env.Path("bin/cacert.pem"));
  EXPECT_EQ(Post(), "ok");  // verified against the bundle beside the executable
  EXPECT_EQ(m_service->CountScheme(true), 1);
  EXPECT_EQ(m_log->Count("can not find cacert file"), 0);
}

TEST_F(HttpLibRequestTest, ReadStallOnHttpsEndsTheAttemptAndHttpAnswers) {
  servicetest::SilentListener silent;
  ASSERT_GT(silent.Port(), 0);
  PointDeployment(silent.Port(), m_service->HttpPort());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Post(), "ok");
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::seconds(20));  // a guard against hanging, not a timing claim
  EXPECT_EQ(m_log->Count("https turn to http"), 1);
}

class UntrustedCertificateTest : public HttpLibRequestTest {
 protected:
  LoopbackService::Cert ServerCert() const override { return LoopbackService::Cert::SelfSigned; }
};

TEST_F(UntrustedCertificateTest, CertificateNotChainingToTheBundleFallsBackToHttp) {
  m_service->OnHttp([](const httplib::Request&, httplib::Response& res) { res.set_content("plain", "text/plain"); });
  EXPECT_EQ(Post(), "plain");
  EXPECT_EQ(m_service->CountScheme(true), 0);  // the handshake fails before any request
  EXPECT_EQ(m_service->CountScheme(false), 1);
  EXPECT_EQ(m_log->Count("https turn to http"), 1);
}

}  // namespace
