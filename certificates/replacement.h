// Replacing a set of files in one folder all or nothing: after any failure, and after a
// run cut short at any point, the folder holds the old set or the new set, whole.
//
// The steps: each new file is written, flushed, as NAME.new; the journal
// (kReplacementJournalName, naming the set) is written; each current file is moved aside to
// NAME.old and each new one moved in; then the .old files and the journal go. A failure
// while moving puts the old files back. A run that finds the journal knows that the new set
// was whole on disk, and completes the replacement before it does anything else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr wchar_t kReplacementJournalName[] = L"Pellwick-certificates.replacing";

struct ReplacementFile {
    const wchar_t* name;     // a name in the folder
    std::string_view bytes;  // held by the caller until the call returns
};

// Replaces the files of `folder` by the set, in its order. False, with `detail`, when it
// failed: the old set is then in place, or, when putting it back failed too, the journal
// stays for the next run to complete the new set.
bool ReplaceFiles(const std::wstring& folder, const std::vector<ReplacementFile>& files, std::wstring& detail);

// Completes a replacement that a run left with its journal. True when there was none or it
// is complete; false, with `detail`, when the files could not be moved (the journal stays).
bool CompleteInterruptedReplacement(const std::wstring& folder, std::wstring& detail);

// The rename the replacement uses, so that a test can make one fail; null for the file
// layer's own (platform::RenameOver).
using RenameFunction = bool (*)(const std::wstring& from, const std::wstring& to, std::uint32_t& error);
void SetReplacementRenameForTests(RenameFunction rename);
