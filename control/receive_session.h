#pragma once
// One receive session, from the page's option text to the status it returns.
// The session reaches the name service, the setting, the two windows and the
// clock only through `SessionPlatform`, so that it runs the same under test;
// all its working values live in the call, so a session started from inside
// another one's windows shares nothing with it.

#include <cstddef>
#include <ctime>

#include "base/receive_parameters.h"
#include "control/site_lock.h"

namespace dovrel {

class SessionPlatform {
 public:
  virtual ~SessionPlatform() = default;
  // 0 with the dotted address in `text`, or an error code with its reason.
  virtual int ResolveServer(const char* name, char* text, std::size_t capacity) = 0;
  virtual void ShowConnectFailure(const char* text) = 0;       // the "오류" box; blocks
  virtual int LoadFolder(char* buffer, std::size_t size) = 0;  // -1: a folder is stored
  virtual int SaveFolder(const char* text) = 0;
  // The folder prompt: its end code (1 for OK) and, after OK, the folder.
  virtual int PromptFolder(const char* initialFolder, char* folder, std::size_t capacity) = 0;
  // "변경" in the window stores its choice only where `mayStoreFolder`.
  virtual void RunReceiveWindow(const ReceiveParameters& parameters, bool mayStoreFolder) = 0;
  virtual std::tm LocalNow() = 0;

  // The site lock: the page that holds the control, the lists it must be on,
  // and the "오류" box for a page that is not (blocks).
  virtual PageAddresses Page() = 0;
  virtual SiteLists AllowedSites() = 0;
  virtual void ShowSiteRefused(const char* text) = 0;

  // Protected Mode: a process below medium integrity cannot keep the folder,
  // so the session says so once and neither it nor its window tries the store.
  virtual bool BelowMediumIntegrity() = 0;
  virtual void ShowProtectedModeNotice() = 0;  // blocks
};

// Runs the session over `length` characters of ANSI option text (null or
// empty: every default). Returns 1 once the receive window has been run and
// closed, 0 when the page is not allowed to drive the control (nothing else
// happens then) or the server name could not be resolved.
int RunReceiveSession(const char* options, std::size_t length, SessionPlatform& platform);

}  // namespace dovrel
