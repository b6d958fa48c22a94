#include "support/test_files.h"

#include "support/wine_test.h"

namespace kt {

std::vector<std::wstring> HostileFileNames() {
  return {
      L"\xD83D\xDC26 Bird.txt",                   // U+1F426, a surrogate pair
      L"\xD835\xDD4F\xD835\xDD5C.lnk",            // two mathematical letters, a shortcut
      L"\x05E9\x05DC\x05D5\x05DD.txt",            // Hebrew
      L"\x0645\x0631\x062D\x0628\x0627 abc.txt",  // Arabic mixed with Latin
      L"\x202Egnp.txt",                           // right-to-left override first
      L"Tom & Jerry.txt",                         //
      L"&&.txt",                                  //
      L"&",                                       //
      L"L" + std::wstring(250, L'l') + L".txt",   // 255 characters
      std::wstring(251, L'S') + L".lnk",          // 255 characters, a shortcut
  };
}

std::wstring LongPath(const std::wstring& path) { return L"\\\\?\\" + path; }

bool ExistsAnyLength(const std::wstring& path) {
  return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFolderAnyLength(const std::wstring& path) {
  return CreateDirectoryW(LongPath(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool MakeEntryAnyLength(const std::wstring& path) {
  std::wstring name = LeafName(path);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, L".lnk") == 0) {
    // The shell link object saves only to short paths: save one there and copy it over.
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring model = std::wstring(temp) + L"kt-model-" + std::to_wstring(GetCurrentProcessId()) + L".lnk";
    bool made = MakeShortcut(model, RecorderExe()) &&
                CopyFileW(LongPath(model).c_str(), LongPath(path).c_str(), FALSE);
    DeleteFileW(model.c_str());
    return made;
  }
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, "x", 1, &written, nullptr);
  CloseHandle(file);  // made for this one write
  return true;
}

std::wstring LeafName(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

std::wstring ParentFolder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring ShownName(const std::wstring& name) {
  bool shortcut = name.size() > 3 &&
                  (name.find(L".lnk") != std::wstring::npos || name.find(L".LNK") != std::wstring::npos);
  return shortcut ? name.substr(0, name.size() - 4) : name;
}

namespace {

using UnixNameFunction = char*(CDECL*)(const wchar_t*);

UnixNameFunction WineUnixName() {
  return reinterpret_cast<UnixNameFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

std::wstring UnixPath(const std::wstring& path) {
  char* unixName = WineUnixName()(path.c_str());
  if (!unixName) return std::wstring();
  std::string narrow = unixName;
  HeapFree(GetProcessHeap(), 0, unixName);
  int length = MultiByteToWideChar(CP_UTF8, 0, narrow.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, narrow.c_str(), -1, &wide[0], length);
  wide.pop_back();
  return wide;
}

// Wine runs Unix programs through CreateProcessW, but they cannot be waited for: callers
// watch for the command's result instead. The command gets the null device for its standard
// handles: sharing this program's output with it loses everything the tests print afterwards.
bool RunUnixCommand(const std::wstring& commandLine) {
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inheritable, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION info = {};
  std::wstring line = commandLine;
  BOOL started =
      CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);  // the child has its own copy
  if (!started) return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

}  // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  if (WineUnixName()) {
    RunUnixCommand(L"/bin/ln -s \"" + UnixPath(target) + L"\" \"" + UnixPath(link) + L"\"");
  } else {
    CreateSymbolicLinkW(link.c_str(), target.c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  }
  return WaitFor([&] { return FileExists(link); }, 5000);
}

void RemoveTreeWithLinks(const std::wstring& root) {
  if (WineUnixName() && RunUnixCommand(L"/bin/rm -rf \"" + UnixPath(root) + L"\"")) {
    WaitFor([&] { return !ExistsAnyLength(root); }, 10000);
  }
  RemoveTree(root);
}

bool SetFolderUnreadable(const std::wstring& folder, bool unreadable) {
  if (!WineUnixName()) return false;
  std::wstring marker = folder + L".chmod-done";
  DeleteFileW(marker.c_str());
  // The touch after chmod tells when the command has run.
  std::wstring command = L"/bin/sh -c \"chmod " + std::wstring(unreadable ? L"000" : L"755") + L" '" +
                         UnixPath(folder) + L"' && touch '" + UnixPath(marker) + L"'\"";
  if (!RunUnixCommand(command)) return false;
  bool done = WaitFor([&] { return FileExists(marker); }, 5000);
  DeleteFileW(marker.c_str());
  return done;
}

}  // namespace kt
