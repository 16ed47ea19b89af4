#include "app/UpdaterServices.h"

#include "UpdateSettings.h"
#include "app/ProcessTermination.h"
#include "app/SettingsWriter.h"
#include "app/Updater.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramLaunch.h"
#include "platform/TickCount.h"

namespace ruvevid {

std::string DefaultUrlText() {
  return kBuildUpdateUrl;
}

TUpdaterServices DefaultUpdaterServices() {
  TUpdaterServices services;
  services.UrlText = DefaultUrlText();
  services.UpdatePublicKey = kBuildUpdatePublicKey;
  services.ProgramFolder = [] { return ProgramFolder(); };
  services.IsProcessRunning = [](const std::string& Name) { return IsProcessRunning(Name); };
  services.KillProcess = [](const std::string& Name) { return KillProcess(Name); };
  services.WriteSetting = [](const std::string& FileName, const std::string& Section,
                             const std::string& Key, const std::string& Value) {
    return WriteSetting(FileName, Section, Key, Value);
  };
  services.LaunchProgram = [](const std::string& Path) { return LaunchProgram(Path); };
  services.TickCount = [] { return TickCount(); };
  return services;
}

}  // namespace ruvevid
