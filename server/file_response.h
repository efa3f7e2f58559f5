// The mapping of a request target into the Web Root and the response made from the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

// The largest file that is served (50 MiB); a file of exactly this size is served.
inline constexpr std::uint64_t MAX_FILE_SIZE = 52428800;

// How much of a file one read takes while it is sent: small enough to stay in the
// processor's cache between the read, the encryption and the send, large enough for a
// run of full TLS records.
inline constexpr std::size_t FILE_CHUNK_BYTES = 128 * 1024;

// The body of a 200 response, read piece by piece while it is sent. It holds the file open
// (others may read it, not change it) until the body is done or dropped.
struct FileBody {
    platform::FileHandle file;
    std::uint64_t length = 0;   // as announced by Content-Length
    std::uint64_t offset = 0;   // bytes handed out so far
    std::unique_ptr<char[]> buffer;
    std::size_t pending = 0;    // bytes read into the buffer but not yet handed out
};

// The next piece of the body, valid until the next call; false once the announced length
// has been handed out, or when a read fails or the file ends early (the connection is
// then cut short).
bool NextBodyPiece(FileBody& body, std::string_view& piece);

// One response: a status, its head and, for 200 only, the file's bytes to follow.
struct FileResponse {
    int status = 0;
    std::string head;
    FileBody body;
};

// The name a target's path stands for, as a browser spells it. The path is the target up to
// its first "?" or "#" (the query and fragment name no file). Each "%" followed by two hex
// digits, in either case, becomes that byte, once: a "%" that decoding yields is never read
// again, and a "%" without two hex digits after it stays itself, as does "+". The bytes,
// raw and decoded alike, are then read as UTF-8 into `path`: UTF-16 where wide text is 16
// bits (Windows), code points elsewhere. False, with `path` unspecified, when they are not
// strict UTF-8: an overlong form, a surrogate, a truncated sequence, a stray byte or a code
// point above U+10FFFF. Nothing here judges the name; MapToWebRoot and the name rules do.
bool DecodeTargetPath(std::string_view target, std::wstring& path);

// The Web Root path followed by a decoded path (DecodeTargetPath), both slashes taken as
// the platform's separator and the leading ones removed; "" when the path holds ".." or a
// NUL character anywhere (rejected). Nothing is decoded here: a "%" stays literal.
std::wstring MapToWebRoot(const std::wstring& webRoot, std::wstring_view path);

// True when a path component is a DOS device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9,
// the superscript COM/LPT digits, CONIN$, CONOUT$), also with any extension, in any case
// and with trailing dots or spaces: Windows opens a device for such a name, never a file.
bool IsReservedDeviceName(std::wstring_view component);

// True when the relative part of a mapped path may name a file: no component is a device
// name and no ":" names a drive or an alternate data stream.
bool IsPlainRelativeName(std::wstring_view relative);

// The whole response for a GET or HEAD of the target: 200 with the file, or one of the
// fixed 400, 404, 413 and 500 texts. Two dots or a NUL anywhere in the target as received,
// query included, and a path that does not decode, are refused with 400 before the name
// is looked at; the decoded name then meets MapToWebRoot's refusal again. For 200 the file's first piece has been read already
// (a failing read is answered with 500 before anything is sent); the rest is read while
// the body is sent. On every other status the file is closed before it returns.
FileResponse ServeTarget(const std::wstring& webRoot, std::string_view target);
