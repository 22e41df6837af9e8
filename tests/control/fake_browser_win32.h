#pragma once
// A stand-in for a browser window, as a page's container hands it out through
// its services: it answers only for the address of the page it shows.

#include <windows.h>
#include <unknwn.h>

namespace dovrel::test {

// A new browser object (one reference, the caller's) whose IWebBrowser2
// get_LocationURL gives `address`; every other method is left out.
IUnknown* NewFakeBrowser(const wchar_t* address);

}  // namespace dovrel::test
