#include "control/receive_session.h"

#include <cstring>
#include <string>

#include "base/ansi_text.h"
#include "control/session_values.h"
#include "session/transport_security.h"

namespace dovrel {

int RunReceiveSession(const char* options, std::size_t length, SessionPlatform& platform) {
  if (std::string host; !PagePermitted(platform.Page(), platform.AllowedSites(), &host)) {
    char message[kFailureTextSize];
    FormatSiteRefusal(host, message, sizeof message);
    platform.ShowSiteRefused(message);
    return 0;
  }

  SessionValues values;
  InitialSessionValues(&values);
  ReadSessionOptions(options, length, &values);

  char resolution[kResolutionTextSize] = {};
  if (platform.ResolveServer(values.serverText, resolution, sizeof resolution) != 0) {
    char message[kFailureTextSize];
    FormatConnectFailure(values.serverText, resolution, message, sizeof message);
    platform.ShowConnectFailure(message);
    return 0;
  }
  // TLS that the build or the administrator asks for but that cannot run (no
  // pins to judge its certificate) would leave the session talking in clear:
  // it ends here like a connection that failed.
  if (!MakeServerAccess(TrustedServerPins(ReadPolicyServerPins()), false, values.serverText)
           .Ready()) {
    char message[kFailureTextSize];
    FormatConnectFailure(values.serverText, kTlsWithoutPinsText, message, sizeof message);
    platform.ShowConnectFailure(message);
    return 0;
  }
  ApplySessionDefaults(platform.LocalNow(), &values);

  const bool storeBarred = platform.BelowMediumIntegrity();
  if (storeBarred) platform.ShowProtectedModeNotice();

  char folder[kPathSize] = {};
  if (platform.LoadFolder(folder, sizeof folder) != -1) {
    char chosen[kPathSize] = {};
    folder[0] = '\0';
    if (platform.PromptFolder(folder, chosen, sizeof chosen) == 1) {
      CopyAnsiText(folder, sizeof folder, chosen);
    }
    if (folder[0] != '\0' && !storeBarred) platform.SaveFolder(folder);
  }

  ReceiveParameters parameters;
  std::memset(static_cast<void*>(&parameters), 0, sizeof parameters);  // padding too
  CopyAnsiText(parameters.receiveFolder, sizeof parameters.receiveFolder, folder);
  CopyAnsiText(parameters.searchDate, sizeof parameters.searchDate, values.searchDate);
  CopyAnsiText(parameters.serverAddress, sizeof parameters.serverAddress, resolution);
  CopyAnsiText(parameters.serverName, sizeof parameters.serverName, values.serverText);
  parameters.serverPort = values.serverPort;
  CopyAnsiText(parameters.userId, sizeof parameters.userId, values.userId);
  platform.RunReceiveWindow(parameters, !storeBarred);
  return 1;
}

}  // namespace dovrel
