// The integrity level as the session reads it, from this process's token and
// (on Windows) from a copy lowered to low integrity.
#include <gtest/gtest.h>

#include "base/win32/unique_handles_win32.h"
#include "control/protected_mode_win32.h"

namespace dovrel {
namespace {

TEST(ProtectedMode, ReadsTheTokensIntegrityLevel) {
  EXPECT_FALSE(ProcessBelowMediumIntegrity()) << "tests run at medium integrity or above";
  // Wine takes a new integrity level for a token and keeps the old one.
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
    GTEST_SKIP() << "Wine does not lower a token's integrity level";
  }

  unique_handle own;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(),
                               TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT, own.put()));
  unique_handle lowered;
  ASSERT_TRUE(DuplicateTokenEx(own.get(), TOKEN_QUERY | TOKEN_ADJUST_DEFAULT, nullptr,
                               SecurityImpersonation, TokenPrimary, lowered.put()));
  SID_IDENTIFIER_AUTHORITY mandatory = SECURITY_MANDATORY_LABEL_AUTHORITY;
  PSID low = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&mandatory, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0, 0, 0,
                                       0, &low));
  TOKEN_MANDATORY_LABEL label{};
  label.Label.Attributes = SE_GROUP_INTEGRITY;
  label.Label.Sid = low;
  const BOOL set = SetTokenInformation(lowered.get(), TokenIntegrityLevel, &label,
                                       sizeof label + GetLengthSid(low));
  FreeSid(low);
  ASSERT_TRUE(set);
  EXPECT_TRUE(TokenBelowMediumIntegrity(lowered.get()));
}

}  // namespace
}  // namespace dovrel
