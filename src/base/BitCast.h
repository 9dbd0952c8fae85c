#pragma once
// BitCast: std::bit_cast for every library the project is built with.
// Emscripten's libc++ lacks std::bit_cast; GCC and Clang both have the
// builtin it is made of.
#include <type_traits>

namespace velora {

template <typename To, typename From>
constexpr To BitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From), "BitCast changes no sizes");
    static_assert(std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>);
    return __builtin_bit_cast(To, from);
}

}  // namespace velora
