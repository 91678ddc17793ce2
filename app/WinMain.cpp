// The process entry: start-up, the skin framework's set-up, the report sender
// and installer context, then the page sequence.
#include <cstdlib>
#include <string>

#include "app/StartUp.h"
#include "app/UIHelp.h"
#include "pages/PageSequence.h"
#include "platform/window/Dialogs.h"
#include "platform/window/NativeWindow.h"
#include "report/InstallerReportData.h"
#include "ui/utils/ShadowUI.h"
#include "ui/utils/SkinResources.h"

namespace {

// Stands for the executable wherever the framework wants an instance handle.
int g_moduleAnchor = 0;

// The arguments after the program name, joined by one blank.
std::string JoinArguments(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string commandLine = JoinArguments(argc, argv);
  void* instance = &g_moduleAnchor;

  // The window system first, so that even start-up's messages are drawn.
  const char* display = std::getenv("DISPLAY");
  if (display && *display && !std::getenv("INSTALLER_WINDOW_BACKEND"))
    platform::SetWindowBackend(platform::WindowBackend::X11);
  platform::InstallWindowMessageBox();

  const StartUpResult start = StartUp(instance, commandLine);
  if (!start.goOn) return start.exitCode;

  SkinUI::SetModuleInstance(instance);
  SkinUI::CShadowUI::RegisterShadowClass(instance);
  SkinUI::SetResourceFolder((SkinUI::InstanceFolder() + L"skin").c_str());

  // The report sender gathers the machine identity before any page exists.
  CInstallerReportData::GetInstance();
  CUIHelp::GetInstance();

  return pages::RunPageSequence(commandLine);
}
