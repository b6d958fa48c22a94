// Hostile names and folder trees for the soak and bad-input tests, and ways to make and check
// paths longer than MAX_PATH.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kt {

// Names that are legal on Windows and have broken programs before: characters outside the BMP
// (surrogate pairs), right-to-left text and an override mark, ampersands, and 255-character
// names, one of them a shortcut. Plain files unless they end in ".lnk" (a shortcut that runs
// the launch recorder).
std::vector<std::wstring> HostileFileNames();

// "\\?\" + path: reaches paths of any length.
std::wstring LongPath(const std::wstring& path);
bool ExistsAnyLength(const std::wstring& path);
bool MakeFolderAnyLength(const std::wstring& path);
// A small file, or for a name ending in ".lnk" a shortcut to the launch recorder, at a path
// of any length.
bool MakeEntryAnyLength(const std::wstring& path);

// The last component of a path.
std::wstring LeafName(const std::wstring& path);
std::wstring ParentFolder(const std::wstring& path);
// What the program shows for a file name: a name holding ".lnk" or ".LNK" loses its last four
// characters.
std::wstring ShownName(const std::wstring& name);

// A folder symbolic link (Wine's CreateSymbolicLinkW does nothing: made with /bin/ln there).
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
// Removes a tree that may hold folder links without following them.
void RemoveTreeWithLinks(const std::wstring& root);
// Takes away (or gives back) every permission on a folder from the Unix side. Under Wine only.
bool SetFolderUnreadable(const std::wstring& folder, bool unreadable);

}  // namespace kt
