#include "session/transport_security.h"

#include "transport_config.h"

namespace dovrel {

Transport DecideTransport(bool buildTls, bool policyTls, bool hostTls, const ServerPins& pins) {
  if (!buildTls && !policyTls && !hostTls) return Transport::kPlain;
  return pins.set ? Transport::kTls : Transport::kRefusedWithoutPins;
}

bool BuildRequiresTls() { return kBuiltInTls; }

bool PolicyRequiresTls(std::string_view policyText) {
  return !policyText.empty() && policyText != "0";
}

std::shared_ptr<const TlsClient> PinnedTlsClient(const ServerPins& pins,
                                                 const std::string& serverName) {
  return TlsClient::Create(serverName, [pins](const unsigned char* der, std::size_t length) {
    return pins.set && pins.AdmitsDer(der, length);
  });
}

ServerAccess MakeServerAccess(const ServerPins& pins, bool hostAsksTls,
                              const std::string& serverName) {
  ServerAccess access;
  access.pins = pins;
  access.transport = DecideTransport(BuildRequiresTls(), PolicyRequiresTls(ReadPolicyRequireTls()),
                                     hostAsksTls, pins);
  if (access.transport == Transport::kTls) access.tls = PinnedTlsClient(pins, serverName);
  return access;
}

ServerAccess SessionServerAccess(const ReceiveParameters& parameters) {
  return MakeServerAccess(TrustedServerPins(ReadPolicyServerPins()), false,
                          FieldText(parameters.serverName));
}

}  // namespace dovrel
