#pragma once
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace kv::platform {

// Why a call failed, in words a user may read.
struct Failure {
    std::string reason;
};

// What a service call gives: its value, or the reason there is none.
template <typename T>
class [[nodiscard]] Result {
public:
    template <typename U = T>
    requires(std::is_constructible_v<T, U&&> && !std::is_same_v<std::remove_cvref_t<U>, Failure> &&
             !std::is_same_v<std::remove_cvref_t<U>, Result>) Result(U&& value)
        : state_(std::in_place_index<0>, std::forward<U>(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& operator*() & { return std::get<0>(state_); }
    const T& operator*() const& { return std::get<0>(state_); }
    T&& operator*() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }

    // Empty when there is a value.
    const std::string& reason() const {
        static const std::string none;
        return ok() ? none : std::get<1>(state_).reason;
    }
    // For passing a failure on as another call's result.
    Failure failure() const { return Failure{reason()}; }

private:
    std::variant<T, Failure> state_;
};

// A call that has nothing to give but its success.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    const std::string& reason() const {
        static const std::string none;
        return failure_ ? failure_->reason : none;
    }
    Failure failure() const { return Failure{reason()}; }

private:
    std::optional<Failure> failure_;
};

}  // namespace kv::platform
