#pragma once

#include <utility>
#include <variant>

// The error number (errno) that tells why a step of a file's read or write did not happen.
struct TSystemError {
    int Errno = 0;
};

// A value, or the error number that tells why there is none.
template <class T> class TOrError {
public:
    TOrError(T value) : FState(std::move(value)) {}
    TOrError(TSystemError error) : FState(error) {}

    explicit operator bool() const { return std::holds_alternative<T>(FState); }
    T& operator*() { return std::get<T>(FState); }
    const T& operator*() const { return std::get<T>(FState); }
    T* operator->() { return &std::get<T>(FState); }
    const T* operator->() const { return &std::get<T>(FState); }
    // Why there is no value; 0 when there is one.
    int Error() const {
        const auto* error = std::get_if<TSystemError>(&FState);
        return error ? error->Errno : 0;
    }

private:
    std::variant<T, TSystemError> FState;
};
