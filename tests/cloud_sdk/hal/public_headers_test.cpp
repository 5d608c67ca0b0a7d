#include <gtest/gtest.h>

extern "C" int cloud_headers_compile_as_c(void);

TEST(CloudPublicHeaders, CompileAndLinkAsC) { EXPECT_EQ(cloud_headers_compile_as_c(), 3); }
