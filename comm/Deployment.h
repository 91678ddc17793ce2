// The deployment values: the service hosts and the two ports, read once from
// the packaged deploy.ini ("DATA" 160). Nothing else is configurable.
#pragma once

#include <string>

struct DeploymentValues {
  std::string apiHost;
  std::string reportHost;
  std::string downloadHost;
  int httpsPort = 443;
  int httpPort = 80;
};

// The values in force (a copy; safe from any thread).
DeploymentValues GetDeployment();
std::string GetApiHost();
std::string GetReportHost();
std::string GetDownloadHost();
int GetHttpsPort();
int GetHttpPort();

// Parses deploy.ini text (section "Deployment"; keys ApiHost, ReportHost,
// DownloadHost, HttpsPort, HttpPort, compared case-insensitively; values
// trimmed). A missing host keeps the built-in value; a port that is not a
// number in 1..65535 keeps its default.
DeploymentValues ParseDeploymentIni(const std::string& bytes);

// Tests point the hosts and ports at loopback servers; the reset goes back to
// the packaged values.
void SetDeploymentForTest(const DeploymentValues& values);
void ResetDeploymentForTest();
