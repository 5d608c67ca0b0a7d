#include "infra/http/http_response_head.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <strings.h>
#include <string>

namespace tessera {
namespace {

constexpr char kVersionPrefix[] = "HTTP/";
constexpr size_t kCodeOffset = 9;  // "HTTP/1.1 " comes first

bool NameIs(const std::string& line, size_t colon, const char* name) {
    return colon == strlen(name) && strncasecmp(line.c_str(), name, colon) == 0;
}

std::string TrimmedValue(const std::string& line, size_t colon) {
    size_t start = line.find_first_not_of(" \t", colon + 1);
    if (start == std::string::npos) return "";
    size_t end = line.find_last_not_of(" \t");
    return line.substr(start, end - start + 1);
}

bool ParseDecimal(const std::string& text, int* value) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    long long parsed = std::stoll(text);
    if (parsed > INT_MAX) return false;
    *value = static_cast<int>(parsed);
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseStatusLine(const char* line, size_t length, int* status_code) {
    if (length < kCodeOffset + 3 || strncmp(line, kVersionPrefix, sizeof(kVersionPrefix) - 1) != 0) return false;
    int code = 0;
    for (size_t i = kCodeOffset; i < kCodeOffset + 3; ++i) {
        if (!isdigit(static_cast<unsigned char>(line[i]))) return false;
        code = code * 10 + (line[i] - '0');
    }
    if (length > kCodeOffset + 3 && line[kCodeOffset + 3] != ' ') return false;
    *status_code = code;
    return true;
}

void ParseHeaderFields(const char* block, size_t length, ResponseHead* head) {
    bool has_length = false;
    bool has_coding = false;
    bool chunked = false;
    std::string text(block, length);
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::string line = text.substr(start, end - start);
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (NameIs(line, colon, "Content-Length")) {
            if (!ParseDecimal(TrimmedValue(line, colon), &head->content_length)) {
                head->framing = BodyFraming::kNone;
                return;
            }
            has_length = true;
        } else if (NameIs(line, colon, "Transfer-Encoding")) {
            has_coding = true;
            chunked = strncasecmp(TrimmedValue(line, colon).c_str(), "chunked", 7) == 0;
        }
    }
    if (has_length) {
        head->framing = BodyFraming::kContentLength;
    } else if (has_coding) {
        head->framing = chunked ? BodyFraming::kChunked : BodyFraming::kUnknown;
    } else {
        head->framing = BodyFraming::kNone;
    }
}

long ParseChunkSize(const char* line, size_t length) {
    long size = 0;
    size_t i = 0;
    for (; i < length && HexValue(line[i]) >= 0; ++i) {
        size = size * 16 + HexValue(line[i]);
        if (size > INT_MAX) return -1;
    }
    if (i == 0) return -1;
    if (i < length && line[i] != ';' && line[i] != ' ' && line[i] != '\t') return -1;
    return size;
}

}  // namespace tessera
