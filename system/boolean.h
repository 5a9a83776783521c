#pragma once

#include <cstdint>

// The 16-bit Boolean of the control's interface: False is 0, True is -1 (all bits
// set). Any other value is "non-zero" but not True: some properties act only on
// exactly True, so the raw value is kept rather than collapsed to bool.
class Boolean
{
public:
    constexpr Boolean() = default;
    constexpr explicit Boolean(std::int16_t raw) : m_raw(raw) {}
    constexpr Boolean(bool b) : m_raw(b ? -1 : 0) {} // NOLINT: implicit on purpose

    constexpr std::int16_t raw() const { return m_raw; }
    constexpr bool isExactlyTrue() const { return m_raw == -1; }
    constexpr bool isFalse() const { return m_raw == 0; }
    constexpr bool isNonZero() const { return m_raw != 0; }

    friend constexpr bool operator==(Boolean a, Boolean b) { return a.m_raw == b.m_raw; }

private:
    std::int16_t m_raw = 0;
};

inline constexpr Boolean True{std::int16_t(-1)};
inline constexpr Boolean False{std::int16_t(0)};
