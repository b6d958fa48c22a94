// Stand-ins for the session calls made by the program code linked into the test program:
// a real ExitWindowsEx would end every windowed process of the Wine prefix the tests run in.
// Each stand-in writes one line to an ordered log instead, and the token calls are
// watched so that a test can see each token opened is closed again.
#pragma once

#include <string>
#include <vector>

namespace kt {

// Swaps this program's imports of ExitWindowsEx, LockWorkStation, PostQuitMessage,
// OpenProcessToken and CloseHandle; false if any of them is not imported. Stays in place
// for the rest of the process. The stand-ins log:
//   "open token 0x28"                    OpenProcessToken of this process, with its access
//   "close token"                        CloseHandle of a token opened above
//   "ExitWindowsEx(0x8, 0) privilege on" flags, reason and SeShutdownPrivilege at the call
//   "LockWorkStation() privilege on"     (it then fails as under Wine: FALSE, error 120)
//   "PostQuitMessage(0)"                 nothing is posted
bool InstallSessionFakes();
std::vector<std::string> SessionCalls();
void ClearSessionCalls();

// SeShutdownPrivilege of this process's token, read and switched without the log.
bool ShutdownPrivilegeEnabled();
bool DisableShutdownPrivilege();

}  // namespace kt
