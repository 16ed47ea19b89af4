#pragma once
// What the controller needs from the world besides its window: the program folder, the
// running-application termination, the settings record, the program launch, the HTTP transport
// and the clock. The defaults are the real services; tests replace the ones that would touch the
// machine.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/InstallTransaction.h"
#include "platform/HttpTransport.h"

namespace ruvevid {

struct TUpdaterServices {
  // The queued row's caption: the update archive's URL (the download item adds "http://" when
  // it has no scheme).
  std::string UrlText;
  // The PEM public key whose signature the archive must carry; empty: updates are not signed.
  std::string UpdatePublicKey;
  std::function<std::string()> ProgramFolder;
  std::function<bool(const std::string& ExeFileName)> IsProcessRunning;
  std::function<int(const std::string& ExeFileName)> KillProcess;
  std::function<bool(const std::string& FileName, const std::string& Section,
                     const std::string& Key, const std::string& Value)>
      WriteSetting;
  std::function<bool(const std::string& Path)> LaunchProgram;
  std::shared_ptr<IHttpTransport> Transport;  // null: the libcurl transport
  // A millisecond tick count for the transfer's speed (null: the system's).
  std::function<std::uint32_t()> TickCount;
  // Called at every step of the install and of its recovery (null: nothing). Tests end the
  // process there.
  TInstallCheckpoint InstallCheckpoint;
};

// The update archive's URL of this build.
std::string DefaultUrlText();

TUpdaterServices DefaultUpdaterServices();

}  // namespace ruvevid
