#pragma once
// The throwaway PKI of make-validation-fixtures.py, made at build time.

#include "signature/Crypto.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tolv::validation::testing {

inline std::filesystem::path Fixture(const std::string& name) {
    return std::filesystem::path(TOLV_VALIDATION_FIXTURES) / name;
}

inline signature::Bytes Read(const std::string& name) {
    std::ifstream in(Fixture(name), std::ios::binary);
    EXPECT_TRUE(in) << name;
    return signature::Bytes(std::istreambuf_iterator<char>(in), {});
}

// Seconds since 1970 (UTC) of the days the tests judge at.
constexpr std::int64_t kJune2020 = 1590969600;    // 2020-06-01
constexpr std::int64_t kJune2025 = 1748736000;    // 2025-06-01
constexpr std::int64_t kJanuary2020 = 1577836800; // 2020-01-01, the old leaf's start
constexpr std::int64_t kEndOf2021 = 1640908800;   // 2021-12-31, its end

} // namespace tolv::validation::testing
