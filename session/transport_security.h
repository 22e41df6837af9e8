#pragma once
// Whether a receive runs inside TLS, and the TLS layer it then uses. Three
// sources may ask for TLS: the build (DOVREL_TLS), the administrator's
// policy value RequireTls, and the host's own setting (the receiver's
// --tls); none can take back what another asked for, and nothing a page
// sends is among them. TLS accepts only the certificate the pins admit, so
// TLS without pins is refused rather than run open to any certificate.

#include <memory>
#include <string>
#include <string_view>

#include "net/exchange.h"
#include "net/tls_client.h"
#include "base/receive_parameters.h"
#include "session/server_pins.h"

namespace dovrel {

enum class Transport {
  kPlain,
  kTls,
  kRefusedWithoutPins,  // TLS asked for, but no pin list to judge its certificate
};

inline constexpr char kTlsWithoutPinsText[] =
    "TLS is asked for, but no server pins are set to accept its certificate";

// The one rule, for every host: any source asks, none drops.
Transport DecideTransport(bool buildTls, bool policyTls, bool hostTls, const ServerPins& pins);

// The build's setting.
bool BuildRequiresTls();

// The policy value's text: absent or "0" asks nothing; anything else,
// unreadable included, asks for TLS.
bool PolicyRequiresTls(std::string_view policyText);

// The administrator's value RequireTls (HKLM\SOFTWARE\Policies\Dovrel), as
// text; "unreadable" for a value that cannot be read; empty where there is
// none, and on other systems than Windows.
std::string ReadPolicyRequireTls();

// The TLS layer for `serverName` (SNI) whose certificate only `pins` admit;
// nullptr when libssl cannot make one.
std::shared_ptr<const TlsClient> PinnedTlsClient(const ServerPins& pins,
                                                 const std::string& serverName);

// How one receive reaches its server: the pins, and the TLS layer when the
// rule above chose TLS. Not ready when TLS was asked for but cannot run (no
// pins, or libssl failed): then nothing may be sent, since the exchanges
// would otherwise go out in clear.
struct ServerAccess {
  ServerPins pins;
  Transport transport = Transport::kPlain;
  std::shared_ptr<const TlsClient> tls;

  bool Ready() const { return transport == Transport::kPlain || tls != nullptr; }
  // `timeouts` for an exchange of this access (only when ready).
  ExchangeTimeouts With(ExchangeTimeouts timeouts) const {
    timeouts.tls = tls.get();
    return timeouts;
  }
};

// The access that the build, the administrator's RequireTls and the host's
// own `hostAsksTls` give to the server `serverName` trusted by `pins`.
ServerAccess MakeServerAccess(const ServerPins& pins, bool hostAsksTls,
                              const std::string& serverName);

// The same for a window of the control's session: the administrator's pins,
// no TLS of its own asking.
ServerAccess SessionServerAccess(const ReceiveParameters& parameters);

}  // namespace dovrel
