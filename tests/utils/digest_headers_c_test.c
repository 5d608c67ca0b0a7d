/* The digest and encoding headers compiled and called as C. */
#include <string.h>

#include "utils/ov_base64.h"
#include "utils/ov_hmac.h"
#include "utils/ov_sha256.h"

int main(void) {
    uint8_t encoded[8];
    uint32_t length = 0;
    uint8_t digest[OV_SHA256_DIGEST_SIZE];
    char mac[32];
    ov_sha256_context ctx;
    if (ov_base64encode((const uint8_t*)"abc", 3, sizeof(encoded), encoded, &length) != 0) return 1;
    if (length != 4 || memcmp(encoded, "YWJj", 4) != 0) return 1;
    ov_sha256_init(&ctx);
    if (ov_sha256_starts(&ctx) != 0 || ov_sha256_update(&ctx, (const uint8_t*)"abc", 3) != 0) return 1;
    if (ov_sha256_finish(&ctx, digest) != 0 || digest[0] != 0xba) return 1;
    ov_sha256_free(&ctx);
    ov_hmac_sha256("Hi There", 8, mac, "\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b\x0b",
                   20);
    return (unsigned char)mac[0] == 0xb0 ? 0 : 1;
}
