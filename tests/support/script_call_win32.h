#pragma once
// Calls a method of a scriptable object as a script host does: its dispatch
// id looked up by name, then Invoke with one text argument.

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace dovrel::test {

// The text the method returned, or "<no name>" / "<failed>".
std::wstring CallByName(IDispatch* object, const wchar_t* method, const std::string& argument);

}  // namespace dovrel::test
