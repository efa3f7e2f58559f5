#include "certificates/replacement.h"

#include <algorithm>

#include "certificates/certificate_files.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace {

RenameFunction testRename = nullptr;

bool Rename(const std::wstring& from, const std::wstring& to, std::uint32_t& error) {
    return testRename != nullptr ? testRename(from, to, error) : platform::RenameOver(from, to, error);
}

std::wstring NewPath(const std::wstring& path) { return path + L".new"; }
std::wstring OldPath(const std::wstring& path) { return path + L".old"; }

struct Move {
    std::wstring from;
    std::wstring to;
};

// The paths of the set the journal names, one name a line; empty when there is no journal.
// Only the certificate files are taken: the journal never moves anything else.
std::vector<std::wstring> JournalPaths(const std::wstring& folder) {
    std::string text;
    std::vector<std::wstring> paths;
    if (!ReadWholeFile(InFolder(folder, kReplacementJournalName), text)) return paths;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::wstring name = Utf8ToWide(text.substr(start, end - start));
        for (const wchar_t* known :
             {kCertificateFileName, kKeyFileName, kAuthorityCertificateFileName, kAuthorityKeyFileName}) {
            if (name == known) paths.push_back(InFolder(folder, known));
        }
        start = end + 1;
    }
    return paths;
}

bool WriteJournal(const std::wstring& folder, const std::vector<ReplacementFile>& files, std::uint32_t& error) {
    std::string text;
    for (const ReplacementFile& file : files) text += WideToUtf8(file.name) + "\n";
    return platform::WriteNewFile(InFolder(folder, kReplacementJournalName), text, error);
}

// Writes every file of the set as NAME.new. False, with `detail`, when one cannot be
// written; none is then left.
bool WriteNewFiles(const std::wstring& folder, const std::vector<ReplacementFile>& files, std::wstring& detail) {
    std::uint32_t error = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::wstring path = NewPath(InFolder(folder, files[i].name));
        platform::DeleteFileAt(path);  // left by a run cut short before its journal was written
        if (!platform::WriteNewFile(path, files[i].bytes, error)) {
            detail = L"Could not write " + path + L":\n" + WindowsErrorText(error);
            for (std::size_t j = 0; j < i; ++j) platform::DeleteFileAt(NewPath(InFolder(folder, files[j].name)));
            return false;
        }
    }
    return true;
}

// Undoes the moves, the last first. False when one cannot be undone: the journal must then
// stay, for the next run to complete the new set.
bool PutBack(const std::vector<Move>& moves) {
    std::uint32_t error = 0;
    for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
        if (!Rename(move->to, move->from, error)) return false;
    }
    return true;
}

void RemoveFiles(const std::vector<std::wstring>& paths, std::wstring (*pathOf)(const std::wstring&)) {
    for (const std::wstring& path : paths) platform::DeleteFileAt(pathOf(path));
}

}  // namespace

bool ReplaceFiles(const std::wstring& folder, const std::vector<ReplacementFile>& files, std::wstring& detail) {
    std::vector<std::wstring> paths;
    for (const ReplacementFile& file : files) paths.push_back(InFolder(folder, file.name));
    if (!WriteNewFiles(folder, files, detail)) return false;
    std::uint32_t error = 0;
    if (!WriteJournal(folder, files, error)) {
        detail = L"Could not write " + InFolder(folder, kReplacementJournalName) + L":\n" + WindowsErrorText(error);
        RemoveFiles(paths, NewPath);
        return false;
    }
    platform::FlushFolder(folder);
    std::vector<Move> moves;
    for (const std::wstring& path : paths) {
        if (platform::PathExists(path)) moves.push_back({path, OldPath(path)});
    }
    for (const std::wstring& path : paths) moves.push_back({NewPath(path), path});
    for (std::size_t i = 0; i < moves.size(); ++i) {
        if (Rename(moves[i].from, moves[i].to, error)) continue;
        detail = L"Could not replace " + moves[i].to + L":\n" + WindowsErrorText(error);
        if (!PutBack({moves.begin(), moves.begin() + static_cast<std::ptrdiff_t>(i)})) {
            detail += L"\n\nThe next run of Pellwick or MakeCertificate completes the replacement.";
            return false;
        }
        RemoveFiles(paths, NewPath);
        platform::DeleteFileAt(InFolder(folder, kReplacementJournalName));
        return false;
    }
    RemoveFiles(paths, OldPath);
    platform::DeleteFileAt(InFolder(folder, kReplacementJournalName));
    platform::FlushFolder(folder);
    return true;
}

bool CompleteInterruptedReplacement(const std::wstring& folder, std::wstring& detail) {
    const std::vector<std::wstring> paths = JournalPaths(folder);
    if (paths.empty()) {
        // A journal that cannot be read (or names nothing) cannot be acted on; one that is
        // not there is the usual case.
        return !platform::PathExists(InFolder(folder, kReplacementJournalName)) ||
               platform::DeleteFileAt(InFolder(folder, kReplacementJournalName));
    }
    std::uint32_t error = 0;
    for (const std::wstring& path : paths) {
        if (!platform::PathExists(NewPath(path))) continue;  // moved in already
        const bool asideFirst = platform::PathExists(path) && !platform::PathExists(OldPath(path));
        if ((asideFirst && !Rename(path, OldPath(path), error)) || !Rename(NewPath(path), path, error)) {
            detail = L"Could not complete the replacement of " + path + L":\n" + WindowsErrorText(error);
            return false;
        }
    }
    RemoveFiles(paths, OldPath);
    platform::DeleteFileAt(InFolder(folder, kReplacementJournalName));
    platform::FlushFolder(folder);
    return true;
}

void SetReplacementRenameForTests(RenameFunction rename) { testRename = rename; }
