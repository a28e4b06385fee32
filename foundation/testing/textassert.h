// GoogleTest assertions on texts whose failure message shows the whole text.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace morvex::testing {

// Passes when `text` holds `part`; the message shows both either way.
inline ::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    const bool found = text.find(part) != std::string::npos;
    return (found ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << "[" << part << "] " << (found ? "found" : "not found") << " in:\n"
           << text;
}

// Passes when `text` begins with `head`.
inline ::testing::AssertionResult StartsWith(const std::string& text, const std::string& head) {
    if (text.rfind(head, 0) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "does not begin with [" << head << "]:\n" << text;
}

}  // namespace morvex::testing
