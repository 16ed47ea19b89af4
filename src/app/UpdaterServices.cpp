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
  TUpdaterServices Services;
  Services.UrlText = DefaultUrlText();
  Services.UpdatePublicKey = kBuildUpdatePublicKey;
  Services.ProgramFolder = [] { return ProgramFolder(); };
  Services.IsProcessRunning = [](const std::string& Name) { return IsProcessRunning(Name); };
  Services.KillProcess = [](const std::string& Name) { return KillProcess(Name); };
  Services.WriteSetting = [](const std::string& FileName, const std::string& Section,
                             const std::string& Key, const std::string& Value) {
    return WriteSetting(FileName, Section, Key, Value);
  };
  Services.LaunchProgram = [](const std::string& Path) { return LaunchProgram(Path); };
  Services.TickCount = [] { return TickCount(); };
  return Services;
}

}  // namespace ruvevid
