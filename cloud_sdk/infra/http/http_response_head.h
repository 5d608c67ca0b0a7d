// The status line and header fields of a response (RFC 7230 3.1.2, 3.2, 3.3), parsed from a buffer.
#pragma once

#include <cstddef>

namespace tessera {

enum class BodyFraming { kContentLength, kChunked, kUnknown, kNone };

struct ResponseHead {
    int status_code = 0;
    BodyFraming framing = BodyFraming::kNone;
    int content_length = 0;
};

// line: the status line without its CRLF. False unless it reads "HTTP/x.y NNN ...".
bool ParseStatusLine(const char* line, size_t length, int* status_code);

// block: the header lines, each ending in CRLF, without the blank line. Content-Length wins over
// Transfer-Encoding; a Content-Length that is not a decimal number fitting an int gives kNone.
void ParseHeaderFields(const char* block, size_t length, ResponseHead* head);

// The size at the start of a chunk size line (hex digits, then CRLF, ";" extensions or blanks); -1 when
// malformed or above INT_MAX. line: the text before the CRLF.
long ParseChunkSize(const char* line, size_t length);

}  // namespace tessera
