#include "support.h"

#include <objbase.h>
#include <oleacc.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <vector>

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); !condition();) {
    if (GetTickCount() - start >= timeoutMs) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

HWND ShownWindow(const wchar_t* className, DWORD timeoutMs) {
  HWND window = nullptr;
  WaitFor([&] { return (window = FindWindowW(className, nullptr)) != nullptr && IsWindowVisible(window); },
          timeoutMs);
  return window && IsWindowVisible(window) ? window : nullptr;
}

std::wstring Beside(const std::wstring& name) {
  wchar_t exe[MAX_PATH], path[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  GetFullPathNameW((exe + std::wstring(L"\\..\\") + name).c_str(), MAX_PATH, path, nullptr);
  return path;
}

bool MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& arguments) {
  HRESULT com = CoInitialize(nullptr);
  IShellLinkW* shellLink = nullptr;
  IPersistFile* file = nullptr;
  bool saved =
      SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shellLink)));
  if (saved) {
    shellLink->SetPath(target.c_str());
    shellLink->SetArguments(arguments.c_str());
    saved = SUCCEEDED(shellLink->QueryInterface(IID_PPV_ARGS(&file))) &&
            SUCCEEDED(file->Save(link.c_str(), TRUE));
    if (file) file->Release();
    shellLink->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return saved;
}

PROCESS_INFORMATION Start(const std::wstring& dir, const std::wstring& exe) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION run = {};
  std::wstring line = L"\"" + exe + L"\"";
  CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup, &run);
  return run;
}

int ExitCode(const PROCESS_INFORMATION& run, DWORD timeoutMs) {
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(run.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(run.hProcess, &code);
  TerminateProcess(run.hProcess, 1);
  for (HANDLE handle : {run.hThread, run.hProcess}) CloseHandle(handle);
  return static_cast<int>(code);
}

IMAGE_IMPORT_DESCRIPTOR* Imports(BYTE* base) {
  auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  return reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
      base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
}

void* PatchImport(const char* function, void* replacement) {
  auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  for (auto dll = Imports(base); dll->Name; ++dll) {
    auto name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    for (auto slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk); name->u1.AddressOfData;
         ++name, ++slot) {
      auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) || std::strcmp(byName->Name, function)) continue;
      DWORD protect;
      VirtualProtect(&slot->u1.Function, sizeof(void*), PAGE_READWRITE, &protect);
      void* original = reinterpret_cast<void*>(slot->u1.Function);
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof(void*), protect, &protect);
      return original;
    }
  }
  return nullptr;
}

namespace {

std::wstring Answer(HRESULT result, BSTR text) {
  std::wstring answer = text ? L"\"" + std::wstring(text) + L"\"" : L"-";
  wchar_t code[16];
  if (FAILED(result)) swprintf(code, 16, L"%#lx", static_cast<unsigned long>(result));
  SysFreeString(text);
  return FAILED(result) ? code : answer;
}

std::wstring AccessibleRow(IAccessible* object, const VARIANT& child) {
  VARIANT role = {}, state = {};
  BSTR name = nullptr, action = nullptr;
  LONG x = 0, y = 0, width = 0, height = 0;
  wchar_t roleText[64] = L"?", text[96];
  HRESULT named = object->get_accName(child, &name);
  if (SUCCEEDED(object->get_accRole(child, &role)) && role.vt == VT_I4) GetRoleTextW(role.lVal, roleText, 64);
  HRESULT stated = object->get_accState(child, &state);
  HRESULT located = object->accLocation(&x, &y, &width, &height, child);
  swprintf(text, 96, L"%ld %ls ", child.lVal, roleText);
  std::wstring row = text + Answer(named, name);
  swprintf(text, 96, L" %#lx %ld %ld %ld %ld ", SUCCEEDED(stated) ? state.lVal : stated, x, y, x + width,
           y + height);
  if (FAILED(located)) swprintf(text, 96, L" %#lx %#lx ", state.lVal, located);
  HRESULT acted = object->get_accDefaultAction(child, &action);
  return row + text + Answer(acted, action) + L"\n";
}

}  // namespace

std::wstring AccessibleListing(HWND window) {
  IAccessible* popup = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_PPV_ARGS(&popup))) || !popup)
    return L"no object\n";
  LONG count = 0, got = 0;
  popup->get_accChildCount(&count);
  std::vector<VARIANT> children(static_cast<size_t>(count));
  VARIANT self = {};
  self.vt = VT_I4;
  std::wstring listing = AccessibleRow(popup, self);
  AccessibleChildren(popup, 0, count, children.data(), &got);
  for (LONG i = 0; i < got; ++i) {
    VARIANT& child = children[static_cast<size_t>(i)];
    HWND childWindow = nullptr;
    wchar_t className[64] = L"?";
    if (child.vt == VT_DISPATCH) {
      IAccessible* object = nullptr;
      if (SUCCEEDED(child.pdispVal->QueryInterface(IID_PPV_ARGS(&object))) && object) {
        WindowFromAccessibleObject(object, &childWindow);
        object->Release();
      }
      GetClassNameW(childWindow, className, 64);
      listing += std::to_wstring(i + 1) + L" window " + className + L"\n";
    } else {
      listing += AccessibleRow(popup, child);
    }
    VariantClear(&child);
  }
  popup->Release();
  return listing;
}
