#include "control/page_address_win32.h"

#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include <shlguid.h>

#include <string>

#include "base/win32/window_helpers_win32.h"
#include "control/com_handles_win32.h"

namespace dovrel {
namespace {

// UTF-8 keeps every character as it is, never a look-alike as the ANSI code
// page's best fit would ("bānk" as "bank"); the lock refuses non-ASCII.
void Keep(BSTR address, PageAddresses* page) {
  const unique_bstr owned(address);
  if (address != nullptr && SysStringLen(address) > 0)
    page->addresses.push_back(Utf8FromBstr(address));
}

// The document that holds the control: its container's HTML document, whose
// address is required (a frame that will not tell it is refused).
void AddDocumentAddress(IOleClientSite* site, PageAddresses* page) {
  com_ptr<IOleContainer> container;
  if (FAILED(site->GetContainer(container.put())) || !container) return;
  com_ptr<IHTMLDocument2> document = container.query<IHTMLDocument2>(IID_IHTMLDocument2);
  if (!document) return;
  BSTR address = nullptr;
  const unique_bstr owned(SUCCEEDED(document->get_URL(&address)) ? address : nullptr);
  page->addresses.push_back(Utf8FromBstr(owned.get()));
}

// The page in the browser's window, through the site's services.
void AddBrowserAddress(IOleClientSite* site, PageAddresses* page) {
  com_ptr<IServiceProvider> services =
      QueryInterfaceOf<IServiceProvider>(site, IID_IServiceProvider);
  void* found = nullptr;
  if (!services || FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, &found)))
    return;
  com_ptr<IWebBrowser2> browser(static_cast<IWebBrowser2*>(found));
  BSTR address = nullptr;
  if (browser && SUCCEEDED(browser->get_LocationURL(&address))) Keep(address, page);
}

}  // namespace

PageAddresses PageOfSite(IOleClientSite* site) {
  PageAddresses page;
  page.hostShowsPages = GetModuleHandleW(L"mshtml.dll") != nullptr;
  if (site == nullptr) return page;
  AddDocumentAddress(site, &page);
  AddBrowserAddress(site, &page);
  return page;
}

}  // namespace dovrel
