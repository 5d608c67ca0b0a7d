# Debian's packages: mbedtls 2.28 has neither pkg-config nor a CMake package, cJSON and libevent have pkg-config.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

find_path(MBEDTLS_INCLUDE_DIR mbedtls/ssl.h REQUIRED)
find_library(MBEDTLS_LIBRARY mbedtls REQUIRED)
find_library(MBEDX509_LIBRARY mbedx509 REQUIRED)
find_library(MBEDCRYPTO_LIBRARY mbedcrypto REQUIRED)
add_library(deps_mbedtls INTERFACE)
target_include_directories(deps_mbedtls SYSTEM INTERFACE ${MBEDTLS_INCLUDE_DIR})
target_link_libraries(deps_mbedtls INTERFACE ${MBEDTLS_LIBRARY} ${MBEDX509_LIBRARY} ${MBEDCRYPTO_LIBRARY})
add_library(deps::mbedtls ALIAS deps_mbedtls)

pkg_check_modules(CJSON REQUIRED IMPORTED_TARGET GLOBAL libcjson)
add_library(deps::cjson ALIAS PkgConfig::CJSON)

pkg_check_modules(LIBEVENT REQUIRED IMPORTED_TARGET GLOBAL libevent_core libevent_pthreads)
add_library(deps::libevent ALIAS PkgConfig::LIBEVENT)

if(OV_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
