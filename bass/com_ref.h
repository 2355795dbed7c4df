#pragma once
// Owns one COM reference; the only place in this library that releases one.

#include <utility>

template <class T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : P(std::exchange(other.P, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            P = std::exchange(other.P, nullptr);
        }
        return *this;
    }
    ~ComRef() { Reset(); }
    T* Get() const { return P; }
    T* operator->() const { return P; }
    explicit operator bool() const { return P != nullptr; }
    T** Put() { Reset(); return &P; }  // releases the old object first
    void Reset() { if (P) std::exchange(P, nullptr)->Release(); }

private:
    T* P = nullptr;
};
