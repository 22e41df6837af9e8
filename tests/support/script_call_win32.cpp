#include "tests/support/script_call_win32.h"

#include <oleauto.h>

namespace dovrel::test {

std::wstring CallByName(IDispatch* object, const wchar_t* method, const std::string& argument) {
  std::wstring name(method);
  LPOLESTR names[] = {name.data()};
  DISPID id = 0;
  if (object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) != S_OK)
    return L"<no name>";
  BSTR text = SysAllocString(std::wstring(argument.begin(), argument.end()).c_str());
  VARIANT parameter;
  VariantInit(&parameter);
  parameter.vt = VT_BSTR;
  parameter.bstrVal = text;
  DISPPARAMS parameters{&parameter, nullptr, 1, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT invoked = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                         &parameters, &result, nullptr, nullptr);
  VariantClear(&parameter);  // frees the text
  std::wstring returned = invoked == S_OK && result.vt == VT_BSTR ? result.bstrVal : L"<failed>";
  VariantClear(&result);
  return returned;
}

}  // namespace dovrel::test
