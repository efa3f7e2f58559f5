// The file manager's checks and texts: names typed or chosen by the user, the delete
// question, the open-file dialog's answer and the editor's command line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How many names the delete question lists before it ends with "...".
inline constexpr std::size_t DELETE_CONFIRMATION_NAMES = 10;

// True for a bare file name that stays inside the Web Root: not empty, and neither a
// backslash, a slash nor ".." anywhere in it (so "draft..old.txt" is refused too).
bool IsValidFileName(const std::wstring& name);

// "Delete selected files?\n\n", the first DELETE_CONFIRMATION_NAMES names each followed by
// "\n", and "...\n" when there are more. The caller has checked the names.
std::wstring BuildDeleteConfirmation(const std::vector<std::wstring>& names);

// The full paths of the files chosen in a multiple-selection open-file dialog, whose
// buffer holds zero-terminated strings: one file gives its full path followed by an empty
// string; several give their folder and then each name, up to an empty string. Nothing
// at or past `capacity` is read: a string cut off there is dropped. Empty when the buffer
// holds nothing.
std::vector<std::wstring> ParseOpenFileResult(const wchar_t* buffer, std::size_t capacity);

// The file-name part of a path: what follows its last backslash or slash; "" when the
// path has neither.
std::wstring ImportTargetName(const std::wstring& sourcePath);

// The command line that opens the file in Notepad, the path quoted.
std::wstring NotepadCommandLine(const std::wstring& fullPath);
