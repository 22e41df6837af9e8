#pragma once
// Opens a secure session with the file server: INIT gives the session's SKEY
// and the server's certificate; a fresh session key and initial vector go back
// sealed for that certificate with KEYEXCHG.

#include "net/exchange.h"
#include "session/server_pins.h"
#include "session/session_keys.h"
#include "base/message_box.h"
#include "base/receive_parameters.h"

namespace dovrel {

// What the key exchange needs of the window that hosts it.
class KeyExchangeHost {
 public:
  virtual ~KeyExchangeHost() = default;
  virtual void StartBusyPopup(const char* text) = 0;  // UTF-8
  virtual void StopBusyPopup() = 0;
  // Text and caption are UTF-8; flags are the kMb* values of base/message_box.h.
  virtual void ShowMessage(const char* text, const char* caption, unsigned flags) = 0;
};

enum class KeyExchangeResult {
  kOpened,
  kNoConnection,  // an Exchange got no reply at all
  kNoSkey,        // the INIT reply lacks SKEY
  kNoSignedData,  // the INIT reply lacks SERVER_SIGNED_DATA
  kCryptoFailed,  // no certificate in the signed data, an untrusted one, or no envelope made
  kNoResultCode,  // the KEYEXCHG reply lacks RESULT_CODE
};

inline constexpr char kPreparingText[] = "데이터를 암호화하기 위한 준비과정중입니다";
inline constexpr char kKeyExchangeNoSignedDataText[] =
    "정상적인 데이터가 전송되지 않았습니다(SERVERSIGNEDDATA)";
inline constexpr char kKeyExchangeNoResultCodeText[] =
    "정상적인 데이터가 전송되지 않았습니다(RESULT_CODE)";

// Draws a fresh session key and initial vector; false when the generator fails.
bool DrawSessionKeys(SessionKeys* keys);

// Runs the whole exchange with the busy popup showing, fills `keys`, and
// reports each failure to the user before returning (none for kCryptoFailed).
// The popup is always stopped before any message is shown. A certificate that
// `pins` does not admit ends the exchange before the key is sealed for it.
KeyExchangeResult OpenSecureSession(const ReceiveParameters& parameters, SessionKeys* keys,
                                    KeyExchangeHost& host, const ExchangeTimeouts& timeouts = {},
                                    const ServerPins& pins = {});

}  // namespace dovrel
