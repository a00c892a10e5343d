#pragma once

#include <QByteArray>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

template<typename Signature> class HidHandler;

// A handler that can be compared: the controller passes a new handler on only to devices that
// still have the previous one, and raises nothing when the same handler is set again.
// A handler bound to an object's method equals every other handler bound to the same object and
// method; one made from a function object equals only its own copies. The object of a bound
// method must outlive the handler.
template<typename R, typename... Args> class HidHandler<R(Args...)>
{
public:
    HidHandler() = default;
    HidHandler(std::nullptr_t) { }

    template<typename T>
    HidHandler(T *object, R (T::*method)(Args...))
        : m_call([object, method](Args... args) { return (object->*method)(args...); })
    {
        m_key.resize(qsizetype(sizeof object + sizeof method));
        std::memcpy(m_key.data(), &object, sizeof object);
        std::memcpy(m_key.data() + sizeof object, &method, sizeof method);
    }

    template<typename F>
    requires std::is_invocable_r_v<R, F, Args...> &&(!std::is_same_v<std::decay_t<F>, HidHandler>)
        HidHandler(F function)
        : m_call(std::move(function))
        , m_token(std::make_shared<char>())
    {
    }

    explicit operator bool() const { return bool(m_call); }
    R operator()(Args... args) const { return m_call(std::forward<Args>(args)...); }

    friend bool operator==(const HidHandler &a, const HidHandler &b)
    {
        if (!a.m_call || !b.m_call)
            return !a.m_call && !b.m_call;
        return a.m_token ? a.m_token == b.m_token : !b.m_token && a.m_key == b.m_key;
    }

private:
    std::function<R(Args...)> m_call;
    QByteArray m_key;
    std::shared_ptr<char> m_token;
};
