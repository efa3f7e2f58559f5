// The content type of a served file and the head of the 200 response.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The content type for a path: the first of .html, .htm, .txt, .json, .png, .jpg, .jpeg,
// .css, .js that occurs anywhere in it, in any letter case; "application/octet-stream"
// when none does. The order settles overlaps: "a.json" is JSON, not JavaScript.
std::string_view ContentTypeFor(std::wstring_view path);

// "HTTP/1.1 200 OK", then exactly Connection: close, Content-Type and Content-Length.
std::string BuildOkHeader(std::string_view contentType, std::uint32_t length);
