#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hal/dns_message.h"

using tessera::BuildDnsQuery;
using tessera::ParseDnsAnswer;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Bytes kQuestion = {3, 'a', 'b', 'c', 2, 'd', 'e', 0, 0, 1, 0, 1};
Bytes Header(uint16_t id, uint16_t flags, uint16_t answers) {
    return {uint8_t(id >> 8), uint8_t(id), uint8_t(flags >> 8), uint8_t(flags), 0, 1, 0, uint8_t(answers), 0, 0, 0, 0};
}
// An answer record naming the question by pointer (offset 12).
Bytes ARecord(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return {0xc0, 12, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, a, b, c, d};
}
const Bytes kCname = {0xc0, 12, 0, 5, 0, 1, 0, 0, 0, 60, 0, 4, 1, 'x', 0xc0, 12};

std::string Dotted(uint32_t address) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof(text));
    return text;
}

TEST(DnsQuery, IsARecursiveAQuestionForTheName) {
    Bytes expected = Cat({Header(0x1234, 0x0100, 0), kQuestion});
    EXPECT_EQ(BuildDnsQuery("abc.de", 0x1234), expected);
}

TEST(DnsQuery, InvalidNamesGiveNothing) {
    for (const std::string& name : {std::string(""), std::string("a..b"), std::string(".a"), std::string(64, 'x'),
                                    std::string(254, 'a')}) {
        EXPECT_TRUE(BuildDnsQuery(name, 1).empty()) << name;
    }
}

struct AnswerCase {
    const char* name;
    Bytes message;
    std::vector<std::string> addresses;
};

TEST(DnsAnswer, Table) {
    const AnswerCase cases[] = {
        {"one A record", Cat({Header(7, 0x8180, 1), kQuestion, ARecord(127, 0, 0, 9)}), {"127.0.0.9"}},
        {"CNAME skipped before A",
         Cat({Header(7, 0x8180, 2), kQuestion, kCname, ARecord(127, 0, 0, 2)}),
         {"127.0.0.2"}},
        {"at most three",
         Cat({Header(7, 0x8180, 4), kQuestion, ARecord(1, 1, 1, 1), ARecord(2, 2, 2, 2), ARecord(3, 3, 3, 3),
              ARecord(4, 4, 4, 4)}),
         {"1.1.1.1", "2.2.2.2", "3.3.3.3"}},
        {"other id", Cat({Header(8, 0x8180, 1), kQuestion, ARecord(10, 0, 0, 1)}), {}},
        {"not a response", Cat({Header(7, 0x0100, 1), kQuestion, ARecord(10, 0, 0, 1)}), {}},
        {"name error", Cat({Header(7, 0x8183, 1), kQuestion, ARecord(10, 0, 0, 1)}), {}},
        {"truncated record", Cat({Header(7, 0x8180, 1), kQuestion, Bytes{0xc0, 12, 0, 1, 0, 1, 0, 0}}), {}},
        {"short address", Cat({Header(7, 0x8180, 1), kQuestion, Bytes{0xc0, 12, 0, 1, 0, 1, 0, 0, 0, 1, 0, 4, 9}}), {}},
        {"short header", Bytes{0, 7, 0x81}, {}},
        {"reserved label bits", Cat({Header(7, 0x8180, 1), Bytes{0x80, 0, 0, 1, 0, 1}}), {}},
    };
    for (const AnswerCase& c : cases) {
        std::vector<std::string> got;
        for (uint32_t address : ParseDnsAnswer(c.message.data(), c.message.size(), 7)) got.push_back(Dotted(address));
        EXPECT_EQ(got, c.addresses) << c.name;
    }
}

}  // namespace
