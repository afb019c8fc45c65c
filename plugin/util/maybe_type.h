// MaybeType<F, T>: either a T (nothing for void) or a failure F, with a flag that says
// which. The result of every request, service-proxy call, Vyre call, publication and
// wait:
//
//   MaybeType<Failure, Profile> result = Request<Profile>(HttpMethod::Get, url);
//   if (!result.Succeeded()) return result.GetFailure().message;
//   Use(result.Value());
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace vclient {

template <class F, class T>
class [[nodiscard]] MaybeType {
public:
    MaybeType() requires std::is_default_constructible_v<T> : state_(std::in_place_index<1>) {}
    MaybeType(T value) : state_(std::in_place_index<1>, std::move(value)) {}  // NOLINT: implicit on purpose
    MaybeType(F failure) : state_(std::in_place_index<0>, std::move(failure)) {}  // NOLINT: implicit on purpose

    [[nodiscard]] bool Succeeded() const noexcept { return state_.index() == 1; }
    explicit operator bool() const noexcept { return Succeeded(); }

    // The value; only on success.
    [[nodiscard]] T& Value() & { return std::get<1>(state_); }
    [[nodiscard]] const T& Value() const& { return std::get<1>(state_); }
    [[nodiscard]] T&& Value() && { return std::get<1>(std::move(state_)); }
    // The failure; only on failure.
    [[nodiscard]] const F& GetFailure() const { return std::get<0>(state_); }

private:
    std::variant<F, T> state_;
};

template <class F>
class [[nodiscard]] MaybeType<F, void> {
public:
    MaybeType() = default;
    MaybeType(F failure) : failure_(std::move(failure)), succeeded_(false) {}  // NOLINT: implicit on purpose

    [[nodiscard]] bool Succeeded() const noexcept { return succeeded_; }
    explicit operator bool() const noexcept { return succeeded_; }
    [[nodiscard]] const F& GetFailure() const { return failure_; }

private:
    F failure_{};
    bool succeeded_ = true;
};

}  // namespace vclient
