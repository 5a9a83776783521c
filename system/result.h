#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

// What a call into the system says when it fails: the system's own number for it (errno
// on POSIX systems, the Windows or Winsock error code on Windows) and its words for it.
// Number 0 when the system gave none, as when Qt did the call and kept only its words.
struct SystemError
{
    int number = 0;
    QString text;

    // The error with that number, in the system's words.
    static SystemError of(int number);
};

// The outcome of a call at the system's seam: its value, or the system error that kept it
// from one. Callers cannot drop it unread ([[nodiscard]]): every failure there is either
// handled or passed on on purpose.
//
//     const Result<qint64> sent = connection.send(data, size);
//     if (!sent)
//         return fail(sent.error());
//     done += sent.value();
template <typename T> class [[nodiscard]] Result
{
public:
    // A value or an error converts on return: `return count;`, `return SystemError::of(e);`.
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {} // NOLINT: implicit
    Result(SystemError error) : m_state(std::in_place_index<1>, std::move(error)) {} // NOLINT

    static Result success(T value) { return Result(std::move(value)); }
    static Result failure(SystemError error) { return Result(std::move(error)); }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only after ok(): asking a failure for its value, or a success for its error, is a
    // fault of the caller's, and throws std::bad_variant_access.
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const SystemError& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, SystemError> m_state;
};

// A call that gives nothing but its success.
template <> class [[nodiscard]] Result<void>
{
public:
    Result(SystemError error) : m_error(std::move(error)) {} // NOLINT: implicit

    static Result success() { return Result(); }
    static Result failure(SystemError error) { return Result(std::move(error)); }

    bool ok() const { return !m_error; }
    explicit operator bool() const { return ok(); }

    // Only after a failure (throws std::bad_optional_access after a success).
    const SystemError& error() const { return m_error.value(); }

private:
    Result() = default;

    std::optional<SystemError> m_error;
};
