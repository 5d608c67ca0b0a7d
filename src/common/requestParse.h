// Server URLs of cloud commands: split into parts and query parameters, and signed for RTMP access.
#pragma once

#include <map>
#include <string>

// One parser per command. RTMP URLs have the form protocol://domain/path?parameters/stream-name; others
// protocol://domain/path?parameters.
class UrlParse {
public:
    UrlParse() = default;
    virtual ~UrlParse() = default;

    // 0, or -1 when the URL lacks "://", a "/" after the domain, a "?" after the path or a non-empty query.
    // The URL and the identity are kept even when parsing fails.
    int Parse(const std::string& url, const std::string& product_key, const std::string& device_name,
              const std::string& device_secret);
    // The parameter's value, or "" when absent.
    std::string GetQuery(const std::string& name) const;
    const std::string& GetUrl() const { return url_; }
    const std::string& GetProtocol() const { return protocol_; }
    const std::string& GetDomain() const { return domain_; }
    const std::string& GetPath() const { return path_; }
    const std::string& GetStreamName() const { return stream_name_; }

    // Signed URLs for a live or pre-event push (also the intercom channel) and for a recorded-media push;
    // every query parameter but the signed ones is dropped.
    std::string CalculateRtmpLiveUrl() const;
    std::string CalculateRtmpVodUrl() const;
    // The bare signature over the intercom parameters.
    std::string CalculateVoiceIntercomSign() const;

private:
    static std::string trim(const std::string& text);
    // Lowercase hex HMAC-SHA-256 of origin under the Base64-decoded secret; "" when the secret does not
    // decode to 1 to 32 bytes.
    static std::string calculateSign(const std::string& origin, const std::string& device_secret);
    void parseQuery(const std::string& query);
    std::string identityOrigin(const std::string& head) const;
    std::string signedBase(const std::string& token, const std::string& sign) const;

    std::string url_;
    std::string protocol_;
    std::string domain_;
    std::string path_;
    std::string stream_name_;
    std::string product_key_;
    std::string device_name_;
    std::string device_secret_;
    std::map<std::string, std::string> query_;
};

// Splits a STUN address host:port?key=text. 0, or -1 (outputs untouched) when ":" or a "?key=" after it is
// missing. The port reads the leading decimal digits (0 when there are none).
int ParseStunUrl(const std::string& url, std::string& ip, int& port, std::string& key);
