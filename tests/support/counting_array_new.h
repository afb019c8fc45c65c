// A test program that links counting_array_new.cpp replaces the array operators new[]
// and delete[] with ones that count the arrays alive, so that tests can prove that every
// buffer handed out with new[] (host value payloads, response texts) is freed once.
#pragma once

namespace vclient::testing_support {

// Arrays allocated with new[] and not yet deleted, program-wide.
[[nodiscard]] long LiveArrays() noexcept;

}  // namespace vclient::testing_support
