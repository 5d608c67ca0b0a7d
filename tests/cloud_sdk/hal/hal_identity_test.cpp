#include <gtest/gtest.h>
#include <sys/time.h>

#include <string>

#include "tessera_hal.h"

namespace {

struct IdentityCase {
    const char* name;
    int (*set)(const char*);
    int (*get)(char*);
    size_t max_length;
};

const IdentityCase kIdentityCases[] = {
    {"product key", HAL_SetProductKey, HAL_GetProductKey, HAL_PRODUCT_KEY_LEN},
    {"device name", HAL_SetDeviceName, HAL_GetDeviceName, HAL_DEVICE_NAME_LEN},
    {"device secret", HAL_SetDeviceSecret, HAL_GetDeviceSecret, HAL_DEVICE_SECRET_LEN},
    {"product secret", HAL_SetProductSecret, HAL_GetProductSecret, HAL_PRODUCT_SECRET_LEN},
};

TEST(HalIdentity, EachFieldTakesItsMaximumAndRefusesOneMore) {
    for (const IdentityCase& field : kIdentityCases) {
        SCOPED_TRACE(field.name);
        std::string longest(field.max_length, 'a');
        EXPECT_EQ(field.set(longest.c_str()), static_cast<int>(field.max_length));
        EXPECT_EQ(field.set(std::string(field.max_length + 1, 'b').c_str()), -1);
        EXPECT_EQ(field.set(nullptr), -1);
        char out[HAL_DEVICE_SECRET_LEN + 1];
        EXPECT_EQ(field.get(out), static_cast<int>(field.max_length));
        EXPECT_EQ(std::string(out), longest);  // the refused value left the old one
    }
}

TEST(HalIdentity, DeviceIdJoinsProductKeyAndDeviceName) {
    ASSERT_EQ(HAL_SetProductKey("a1B2"), 4);
    ASSERT_EQ(HAL_SetDeviceName("cam01"), 5);
    char id[HAL_DEVICE_ID_LEN + 1];
    EXPECT_EQ(HAL_GetDeviceID(id), 10);
    EXPECT_STREQ(id, "a1B2.cam01");
}

TEST(HalIdentity, LongestDeviceIdIsCutTo63Characters) {
    ASSERT_EQ(HAL_SetProductKey(std::string(20, 'p').c_str()), 20);
    ASSERT_EQ(HAL_SetDeviceName(std::string(32, 'd').c_str()), 32);
    char id[HAL_DEVICE_ID_LEN + 1];
    EXPECT_EQ(HAL_GetDeviceID(id), 53);
}

struct FixedText {
    int (*get)(char*);
    const char* expected;
};

TEST(HalIdentity, FixedTexts) {
    const FixedText texts[] = {
        {HAL_GetPartnerID, "example.demo.partner-id"},
        {HAL_GetModuleID, "example.demo.module-id"},
        {HAL_GetFirmwareVersion, "app-1.0.0-20180101.1000"},
        {HAL_GetNetifInfo, "WiFi|03ACDEFF0032"},
    };
    for (const FixedText& text : texts) {
        char out[HAL_PARTNER_ID_LEN + 1];
        EXPECT_EQ(text.get(out), static_cast<int>(strlen(text.expected)));
        EXPECT_STREQ(out, text.expected);
    }
}

TEST(HalUtc, SetWithCloudTimeIsReadBackAtOnce) {
    const int64_t cloud_ms = 1893456000123;  // far from the wall clock
    HAL_UTC_Set(cloud_ms);
    int64_t read = HAL_UTC_Get();
    EXPECT_GE(read, cloud_ms);
    EXPECT_LT(read, cloud_ms + 1000);
    struct timeval now;
    gettimeofday(&now, nullptr);
    HAL_UTC_Set(static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_usec / 1000);
}

}  // namespace
