// The invokers of route handlers: member operations of the plug-in object, bound to routes
// by ApiRegistry::AddRoute. From the member operation's signature follow the function's
// argument types, its result type and whether it receives the call context:
//
//   Ballot GetBallot();                                        // no arguments, result "Ballot"
//   std::string HonorPlayer(const ApiHonorPlayerServerRequest&);  // one argument
//   CallResult Refresh(const CallContext& context, bool force);   // context, one argument
//
// Parameters: an optional first parameter of type `const CallContext&` or `CallContext`
// receives the call context and is not an API argument; every other parameter is a native
// type (native_type.h) taken by value or by const reference.
//
// Results:
//   void                     an Empty body
//   a native type T          the value converted with ToBinding; when that fails the call
//                            fails with the conversion's text and status 400
//   MaybeType<Failure, T>    T as above (void: Empty); a failure answers its message (or
//                            "Internal server error" when empty) with its code as the
//                            status, 500 when the code is 0
//   CallResult               taken as it is; a failure without a status answers 500
//
// Arguments that do not convert to their native types fail the call with the conversion's
// text and status 400, and the operation does not run. An optional argument that was not
// given keeps its type's default value.
#pragma once

#include <concepts>
#include <cstddef>
#include <memory>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/api_records.h"
#include "value/binding_property.h"
#include "binding/conversion.h"
#include "binding/native_type.h"
#include "binding/type_registry.h"
#include "router/call_context.h"
#include "router/call_result.h"
#include "router/route_invoker.h"
#include "util/failure.h"
#include "util/maybe_type.h"

namespace vclient {

template <class... T>
struct TypeList {};

template <class T>
struct IsMaybeFailure : std::false_type {};
template <class T>
struct IsMaybeFailure<MaybeType<Failure, T>> : std::true_type {
    using Value = T;
};

// A parameter that receives the call context.
template <class P>
concept CallContextParameter = std::same_as<P, CallContext> || std::same_as<P, const CallContext&>;

// A parameter that is an API argument: a native type by value or by const reference.
template <class P>
concept RouteParameter = NativeConvertible<std::remove_cvref_t<P>> &&
    (std::same_as<P, std::remove_cvref_t<P>> || std::same_as<P, const std::remove_cvref_t<P>&>);

template <class R>
concept RouteResult =
    std::is_void_v<R> || std::same_as<R, CallResult> || IsMaybeFailure<R>::value || NativeConvertible<R>;

namespace detail {

template <class... P>
struct SplitContext {
    static constexpr bool kWithContext = false;
    using Api = TypeList<P...>;
};
template <class First, class... Rest>
    requires CallContextParameter<First>
struct SplitContext<First, Rest...> {
    static constexpr bool kWithContext = true;
    using Api = TypeList<Rest...>;
};

template <class C, class R, bool IsConst, class... P>
struct SignatureOf {
    using Owner = C;
    using Result = R;
    // The object the operation is called on.
    using Target = std::conditional_t<IsConst, const C, C>;
    static constexpr bool kWithContext = SplitContext<P...>::kWithContext;
    using Api = typename SplitContext<P...>::Api;
};

template <class List>
struct AllRouteParameters;
template <class... P>
struct AllRouteParameters<TypeList<P...>> : std::bool_constant<(RouteParameter<P> && ...)> {};

}  // namespace detail

// The parts of a member operation's signature; undefined for anything else.
template <class Member>
struct RouteSignature;
template <class C, class R, class... P>
struct RouteSignature<R (C::*)(P...)> : detail::SignatureOf<C, R, false, P...> {};
template <class C, class R, class... P>
struct RouteSignature<R (C::*)(P...) const> : detail::SignatureOf<C, R, true, P...> {};
template <class C, class R, class... P>
struct RouteSignature<R (C::*)(P...) noexcept> : detail::SignatureOf<C, R, false, P...> {};
template <class C, class R, class... P>
struct RouteSignature<R (C::*)(P...) const noexcept> : detail::SignatureOf<C, R, true, P...> {};

// A member operation that can serve a route.
template <class Member>
concept RouteOperation = requires { typename RouteSignature<Member>::Owner; } &&
    detail::AllRouteParameters<typename RouteSignature<Member>::Api>::value &&
    RouteResult<typename RouteSignature<Member>::Result>;

// The type identifiers of the API arguments, in order.
template <class... P>
[[nodiscard]] std::vector<TypeIdentifier> RouteArgumentTypes(const TypeRegistry& registry, TypeList<P...>) {
    return {TypeIdentifierOf<std::remove_cvref_t<P>>(registry)...};
}

// The type identifier of a handler's result: None for void, object for CallResult.
template <class R>
[[nodiscard]] TypeIdentifier RouteResultType(const TypeRegistry& registry) {
    if constexpr (std::is_void_v<R>) {
        return {};
    } else if constexpr (std::same_as<R, CallResult>) {
        return {BindingType::Object, BindingType::None, nullptr};
    } else if constexpr (IsMaybeFailure<R>::value) {
        return RouteResultType<typename IsMaybeFailure<R>::Value>(registry);
    } else {
        return TypeIdentifierOf<R>(registry);
    }
}

namespace detail {

template <class T>
void StoreRouteResult(CallResult& result, T&& value, const TypeRegistry& registry) {
    using R = std::remove_cvref_t<T>;
    if constexpr (std::same_as<R, CallResult>) {
        result = std::forward<T>(value);
        if (!result.Succeeded() && result.Status() == 0) result.SetStatus(500);
    } else if constexpr (IsMaybeFailure<R>::value) {
        if (!value.Succeeded()) {
            const Failure& failure = value.GetFailure();
            result.Fail(failure.message.empty() ? std::string_view("Internal server error")
                                                : std::string_view(failure.message),
                        failure.code != 0 ? failure.code : 500);
            return;
        }
        if constexpr (!std::is_void_v<typename IsMaybeFailure<R>::Value>) {
            StoreRouteResult(result, std::forward<T>(value).Value(), registry);
        }
    } else {
        if (!ToBinding(result.Outcome(), value, registry)) result.SetStatus(400);
    }
}

}  // namespace detail

template <class Member, class ApiList = typename RouteSignature<Member>::Api>
class MemberInvoker;

template <class Member, class... Params>
class MemberInvoker<Member, TypeList<Params...>> final : public RouteInvoker {
    using Signature = RouteSignature<Member>;
    using Target = typename Signature::Target;
    using Result = typename Signature::Result;
    using Values = std::tuple<std::remove_cvref_t<Params>...>;

public:
    MemberInvoker(Target* object, Member member) noexcept : object_(object), member_(member) {}

    [[nodiscard]] bool TakesCallContext() const noexcept override { return Signature::kWithContext; }

    void Invoke(CallResult& result, const FunctionRecord& function, std::span<const BindingProperty> arguments,
                const CallContext* context, const TypeRegistry& registry) const override {
        if (!result.Succeeded()) return;
        Values values{};
        if (!Convert(result.Outcome(), function, arguments, registry, values, std::index_sequence_for<Params...>{})) {
            if (result.Status() == 0) result.SetStatus(400);
            return;
        }
        Run(result, context, registry, values, std::index_sequence_for<Params...>{});
    }

private:
    template <std::size_t... I>
    static bool Convert(BindingResult& outcome, [[maybe_unused]] const FunctionRecord& function,
                        [[maybe_unused]] std::span<const BindingProperty> arguments,
                        [[maybe_unused]] const TypeRegistry& registry, [[maybe_unused]] Values& values,
                        std::index_sequence<I...>) {
        (ConvertOne(outcome, function, arguments, registry, I, std::get<I>(values)), ...);
        return outcome.Succeeded();
    }

    template <class T>
    static void ConvertOne(BindingResult& outcome, const FunctionRecord& function,
                           std::span<const BindingProperty> arguments, const TypeRegistry& registry,
                           std::size_t index, T& value) {
        if (!outcome.Succeeded()) return;
        const BindingProperty& input = index < arguments.size() ? arguments[index] : BindingProperty::EmptyValue();
        const ArgumentRecord* argument = index < function.arguments.size() ? &function.arguments[index] : nullptr;
        if (argument != nullptr && argument->optional && input.IsEmpty()) return;
        (void)FromBinding(outcome, input, value, argument != nullptr ? argument->name : std::string_view(),
                          registry);
    }

    template <std::size_t... I>
    void Run([[maybe_unused]] CallResult& result, [[maybe_unused]] const CallContext* context,
             [[maybe_unused]] const TypeRegistry& registry, [[maybe_unused]] Values& values,
             std::index_sequence<I...>) const {
        if constexpr (Signature::kWithContext) {
            CallContext fallback;
            fallback.registry = &registry;
            const CallContext& given = context != nullptr ? *context : fallback;
            if constexpr (std::is_void_v<Result>) {
                (object_->*member_)(given, std::move(std::get<I>(values))...);
            } else {
                detail::StoreRouteResult(result, (object_->*member_)(given, std::move(std::get<I>(values))...),
                                         registry);
            }
        } else if constexpr (std::is_void_v<Result>) {
            (object_->*member_)(std::move(std::get<I>(values))...);
        } else {
            detail::StoreRouteResult(result, (object_->*member_)(std::move(std::get<I>(values))...), registry);
        }
    }

    Target* object_;
    Member member_;
};

// The invoker of `member` on `object`; null when `object` is null.
template <RouteOperation Member>
[[nodiscard]] std::unique_ptr<RouteInvoker> MakeRouteInvoker(typename RouteSignature<Member>::Target* object,
                                                             Member member) {
    if (object == nullptr || member == nullptr) return nullptr;
    return std::make_unique<MemberInvoker<Member>>(object, member);
}

}  // namespace vclient
