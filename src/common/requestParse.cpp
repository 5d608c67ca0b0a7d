#include "common/requestParse.h"

#include <climits>
#include <cstdint>
#include <cstdio>

#include "utils/logger.h"
#include "utils/ov_base64.h"
#include "utils/ov_hmac.h"

namespace {

const std::string kTrimSet = " \n\r\t";
const std::string kProtocolSeparator = "://";
const std::string kStunKeyMarker = "?key=";
constexpr uint32_t kSecretKeyCapacity = 32;
constexpr size_t kDigestSize = 32;

std::string ToLowerHex(const unsigned char* bytes, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        hex.push_back(kDigits[bytes[i] >> 4]);
        hex.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return hex;
}

// Leading decimal digits, saturating instead of overflowing.
int LeadingDecimal(const std::string& text) {
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(value);
}

}  // namespace

int UrlParse::Parse(const std::string& url, const std::string& product_key, const std::string& device_name,
                    const std::string& device_secret) {
    product_key_ = product_key;
    device_name_ = device_name;
    device_secret_ = device_secret;
    url_ = url;
    protocol_.clear();
    domain_.clear();
    path_.clear();
    stream_name_.clear();
    query_.clear();

    const std::string text = trim(url);
    const size_t separator = text.find(kProtocolSeparator);
    if (separator == std::string::npos) return -1;
    protocol_ = text.substr(0, separator);

    // Searching one past the separator leaves the domain at least one character.
    const size_t domain_start = separator + kProtocolSeparator.size();
    const size_t slash = text.find('/', domain_start + 1);
    if (slash == std::string::npos) return -1;
    domain_ = text.substr(domain_start, slash - domain_start);

    const size_t question = text.find('?', slash + 1);
    if (question == std::string::npos) return -1;
    path_ = text.substr(slash + 1, question - slash - 1);

    std::string query = text.substr(question + 1);
    if (query.empty()) return -1;
    if (protocol_ == "rtmp") {
        const size_t name_start = query.find('/');
        if (name_start != std::string::npos) {
            stream_name_ = query.substr(name_start + 1);
            query.resize(name_start);
        }
    }
    parseQuery(query);
    return 0;
}

// Pieces are split at "&"; the first "=" of a piece ends the name, and the first occurrence of a name wins.
void UrlParse::parseQuery(const std::string& query) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string piece = query.substr(start, end - start);
        const size_t equals = piece.find('=');
        if (equals != std::string::npos) query_.emplace(piece.substr(0, equals), piece.substr(equals + 1));
        start = end + 1;
    }
}

std::string UrlParse::GetQuery(const std::string& name) const {
    auto found = query_.find(name);
    return found == query_.end() ? std::string() : found->second;
}

std::string UrlParse::trim(const std::string& text) {
    const size_t first = text.find_first_not_of(kTrimSet);
    if (first == std::string::npos) return text;
    const size_t last = text.find_last_not_of(kTrimSet);
    return text.substr(first, last - first + 1);
}

std::string UrlParse::calculateSign(const std::string& origin, const std::string& device_secret) {
    unsigned char key[kSecretKeyCapacity];
    uint32_t key_length = 0;
    const int ret = ov_base64decode(reinterpret_cast<const uint8_t*>(device_secret.data()),
                                    static_cast<uint32_t>(device_secret.size()), sizeof(key), key, &key_length);
    if (ret != 0 || key_length == 0) {
        LOGE("decode failed, ret = %d, len = %u", ret, key_length);
        return std::string();
    }
    unsigned char digest[kDigestSize];
    ov_hmac_sha256(origin.data(), static_cast<int>(origin.size()), reinterpret_cast<char*>(digest),
                   reinterpret_cast<const char*>(key), static_cast<int>(key_length));
    return ToLowerHex(digest, sizeof(digest));
}

std::string UrlParse::identityOrigin(const std::string& head) const {
    return head + "-" + product_key_ + "-" + device_name_ + "-" + GetQuery("token");
}

std::string UrlParse::signedBase(const std::string& token, const std::string& sign) const {
    return protocol_ + kProtocolSeparator + domain_ + "/" + path_ + "?token=" + token + "-" + sign;
}

std::string UrlParse::CalculateRtmpLiveUrl() const {
    const std::string sign = calculateSign(identityOrigin(stream_name_), device_secret_);
    return signedBase(GetQuery("token"), sign) + "/" + stream_name_;
}

std::string UrlParse::CalculateRtmpVodUrl() const {
    const std::string session = GetQuery("session");
    const std::string sign = calculateSign(identityOrigin(session), device_secret_);
    return signedBase(GetQuery("token"), sign) + "&session=" + session + "/" + stream_name_;
}

std::string UrlParse::CalculateVoiceIntercomSign() const {
    return calculateSign(identityOrigin(GetQuery("streamName")), device_secret_);
}

int ParseStunUrl(const std::string& url, std::string& ip, int& port, std::string& key) {
    const size_t colon = url.find(':');
    if (colon == std::string::npos) return -1;
    const size_t marker = url.find(kStunKeyMarker, colon + 1);
    if (marker == std::string::npos) return -1;
    const std::string port_text = url.substr(colon + 1, marker - colon - 1);
    ip = url.substr(0, colon);
    port = LeadingDecimal(port_text);
    key = url.substr(marker + kStunKeyMarker.size());
    LOGD("ip:%s port:%s key:%s", ip.c_str(), port_text.c_str(), key.c_str());
    return 0;
}
