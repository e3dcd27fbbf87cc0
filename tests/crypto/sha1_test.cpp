#include "crypto/sha1.h"

#include <gtest/gtest.h>

#include "tests/support/vectors.h"

namespace {

std::string Digest(const Bytes& message, const std::vector<size_t>& cuts = {}) {
    Sha1Context c;
    sha1_init(&c);
    size_t start = 0;
    for (size_t cut : cuts) {
        sha1_update(&c, message.data() + start, static_cast<uint32_t>(cut - start));
        start = cut;
    }
    sha1_update(&c, message.data() + start, static_cast<uint32_t>(message.size() - start));
    sha1_final(&c);
    uint8_t out[20];
    sha1_result(&c, out);
    return ToHex(out, 20);
}

Bytes Message(const std::map<std::string, std::string>& v) {
    const Bytes unit = FromHex(v.at("msg_hex"));
    Bytes message;
    for (int i = 0; i < std::stoi(v.at("repeat")); ++i) {
        message.insert(message.end(), unit.begin(), unit.end());
    }
    return message;
}

TEST(Sha1, PublishedDigestsOfFips180AndRfc3174) {
    const auto lines = VectorLines("sha1.txt");
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string& line : lines) {
        const auto v = KeyValues(line);
        EXPECT_EQ(Digest(Message(v)), v.at("digest")) << v.at("name");
    }
}

TEST(Sha1, SplitUpdatesGiveTheDigestOfOneUpdate) {
    for (const std::string& line : VectorLines("sha1.txt")) {
        const auto v = KeyValues(line);
        const Bytes message = Message(v);
        if (message.size() < 130) {
            continue;
        }
        const std::vector<std::vector<size_t>> splits = {
            {1}, {63}, {64}, {65}, {1, 2, 3}, {0, 0, 64, 64, 128}, {17, 100, 129}};
        for (const auto& cuts : splits) {
            EXPECT_EQ(Digest(message, cuts), v.at("digest")) << v.at("name");
        }
    }
}

TEST(Sha1, FinalLeavesOnlyTheDigest) {
    Sha1Context c;
    sha1_init(&c);
    const Bytes message(100, 0xA5);
    sha1_update(&c, message.data(), 100);
    sha1_final(&c);
    for (uint8_t b : c.buffer) {
        ASSERT_EQ(b, 0);
    }
    for (uint32_t w : c.workspace) {
        ASSERT_EQ(w, 0u);
    }
    EXPECT_EQ(c.countLow, 0u);
    EXPECT_EQ(c.countHigh, 0u);
}

TEST(Sha1, BitCountCarriesIntoTheHighHalf) {
    Sha1Context c;
    sha1_init(&c);
    c.countLow = 0xFFFFFFF8u;
    const uint8_t byte = 0;
    sha1_update(&c, &byte, 1);
    EXPECT_EQ(c.countLow, 0u);
    EXPECT_EQ(c.countHigh, 1u);
    sha1_update(&c, &byte, 0);
    EXPECT_EQ(c.countLow, 0u);
    EXPECT_EQ(c.countHigh, 1u);
}

TEST(Sha1, NullContextIsIgnored) {
    const uint8_t byte = 0;
    sha1_init(nullptr);
    sha1_update(nullptr, &byte, 1);
    sha1_final(nullptr);
    uint8_t out[20] = {1};
    sha1_result(nullptr, out);
    EXPECT_EQ(out[0], 1);
}

}  // namespace
