// The trust anchor of the SDK's TLS connections: the built-in root, or one the device program supplies.
#include <mbedtls/x509_crt.h>

#include <list>
#include <mutex>
#include <string>

#include "infra/utils/sdk_log.h"
#include "tessera_hal.h"

// GlobalSign Root CA, the root of the cloud's server certificates.
extern "C" const char HAL_BUILTIN_ROOT_CA_PEM[] =
    "-----BEGIN CERTIFICATE-----\n"
    "MIIDdTCCAl2gAwIBAgILBAAAAAABFUtaw5QwDQYJKoZIhvcNAQEFBQAwVzELMAkG\n"
    "A1UEBhMCQkUxGTAXBgNVBAoTEEdsb2JhbFNpZ24gbnYtc2ExEDAOBgNVBAsTB1Jv\n"
    "b3QgQ0ExGzAZBgNVBAMTEkdsb2JhbFNpZ24gUm9vdCBDQTAeFw05ODA5MDExMjAw\n"
    "MDBaFw0yODAxMjgxMjAwMDBaMFcxCzAJBgNVBAYTAkJFMRkwFwYDVQQKExBHbG9i\n"
    "YWxTaWduIG52LXNhMRAwDgYDVQQLEwdSb290IENBMRswGQYDVQQDExJHbG9iYWxT\n"
    "aWduIFJvb3QgQ0EwggEiMA0GCSqGSIb3DQEBAQUAA4IBDwAwggEKAoIBAQDaDuaZ\n"
    "jc6j40+Kfvvxi4Mla+pIH/EqsLmVEQS98GPR4mdmzxzdzxtIK+6NiY6arymAZavp\n"
    "xy0Sy6scTHAHoT0KMM0VjU/43dSMUBUc71DuxC73/OlS8pF94G3VNTCOXkNz8kHp\n"
    "1Wrjsok6Vjk4bwY8iGlbKk3Fp1S4bInMm/k8yuX9ifUSPJJ4ltbcdG6TRGHRjcdG\n"
    "snUOhugZitVtbNV4FpWi6cgKOOvyJBNPc1STE4U6G7weNLWLBYy5d4ux2x8gkasJ\n"
    "U26Qzns3dLlwR5EiUWMWea6xrkEmCMgZK9FGqkjWZCrXgzT/LCrBbBlDSgeF59N8\n"
    "9iFo7+ryUp9/k5DPAgMBAAGjQjBAMA4GA1UdDwEB/wQEAwIBBjAPBgNVHRMBAf8E\n"
    "BTADAQH/MB0GA1UdDgQWBBRge2YaRQ2XyolQL30EzTSo//z9SzANBgkqhkiG9w0B\n"
    "AQUFAAOCAQEA1nPnfE920I2/7LqivjTFKDK1fPxsnCwrvQmeU79rXqoRSLblCKOz\n"
    "yj1hTdNGCbM+w6DjY1Ub8rrvrTnhQ7k4o+YviiY776BQVvnGCv04zcQLcFGUl5gE\n"
    "38NflNUVyRRBnMRddWQVDf9VMOyGj/8N7yy5Y0b2qvzfvGn9LhJIZJrglfCm7ymP\n"
    "AbEVtQwdpf5pLGkkeB6zpxxxYu7KyJesF12KwvhHhm4qxFYxldBniYUr+WymXUad\n"
    "DKqC5JlR3XC321Y9YeRq4VzW9v493kHMB65jUr9TU/Qr6cf9tveCX4XSQRjbgbME\n"
    "HMUfpIBvFSDJ3gyICh3WZlXi/EjJKSZp4A==\n"
    "-----END CERTIFICATE-----\n"
    ;

namespace {

struct TrustedRoot {
    std::mutex mutex;
    std::list<std::string> supplied;  // every text ever given stays alive: callers keep raw pointers
    const char* current = HAL_BUILTIN_ROOT_CA_PEM;
};

TrustedRoot& Root() {
    static TrustedRoot root;
    return root;
}

bool ParsesAsCertificate(const std::string& pem) {
    mbedtls_x509_crt chain;
    mbedtls_x509_crt_init(&chain);
    int ret = mbedtls_x509_crt_parse(&chain, reinterpret_cast<const unsigned char*>(pem.c_str()), pem.size() + 1);
    mbedtls_x509_crt_free(&chain);
    return ret == 0;
}

}  // namespace

extern "C" int IOT_SetCACert(const char* pem) {
    TrustedRoot& root = Root();
    if (pem == nullptr) {
        std::lock_guard<std::mutex> lock(root.mutex);
        root.current = HAL_BUILTIN_ROOT_CA_PEM;
        return 0;
    }
    std::string text(pem);
    if (!ParsesAsCertificate(text)) {
        SDK_ERR("hal", "CA certificate does not parse");
        return -1;
    }
    std::lock_guard<std::mutex> lock(root.mutex);
    root.supplied.push_back(std::move(text));
    root.current = root.supplied.back().c_str();
    return 0;
}

extern "C" const char* HAL_GetCACert(void) {
    TrustedRoot& root = Root();
    std::lock_guard<std::mutex> lock(root.mutex);
    return root.current;
}
