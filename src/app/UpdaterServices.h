#pragma once
// What the controller needs from the world besides its window: the program folder, the
// running-application termination, the settings record, the program launch and the HTTP transport.
// The defaults are the real services; tests replace the ones that would touch the machine.

#include <functional>
#include <memory>
#include <string>

#include "download/HttpTransport.h"

namespace ruvevid {

struct TUpdaterServices {
  // The queued row's caption: the update server's host followed by the archive's path, no scheme.
  std::string UrlText;
  std::function<std::string()> ProgramFolder;
  std::function<bool(const std::string& ExeFileName)> IsProcessRunning;
  std::function<int(const std::string& ExeFileName)> KillProcess;
  std::function<bool(const std::string& FileName, const std::string& Section,
                     const std::string& Key, const std::string& Value)>
      WriteSetting;
  std::function<bool(const std::string& Path)> LaunchProgram;
  std::shared_ptr<IHttpTransport> Transport;  // null: the libcurl transport
};

// The URL text of the update archive on the build's update server host.
std::string DefaultUrlText();

TUpdaterServices DefaultUpdaterServices();

}  // namespace ruvevid
