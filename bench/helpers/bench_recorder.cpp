// Stands in for a real application: appends one line "path|command line|working directory"
// to the file named by KESTRELON_RECORDER_LOG (or recorder.log beside itself) and exits.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t self[32768];
  GetModuleFileNameW(nullptr, self, 32768);
  wchar_t cwd[32768];
  GetCurrentDirectoryW(32768, cwd);
  wchar_t logPath[32768];
  DWORD length = GetEnvironmentVariableW(L"KESTRELON_RECORDER_LOG", logPath, 32768);
  std::wstring log = (length > 0 && length < 32768) ? std::wstring(logPath) : std::wstring(self) + L".log";

  std::wstring line = std::wstring(self) + L"|" + GetCommandLineW() + L"|" + cwd + L"\n";
  int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
  utf8.pop_back();  // the terminator

  HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
