#pragma once
// Turns a typed method body into the host's delegate: reads the declared arguments by the coercion
// rules, creates the promise, and turns any exception into a rejection so nothing reaches the host.

#include <string>
#include <tuple>
#include <utility>

#include "bridge/argument_reader.h"
#include "bridge/host_interface.h"
#include "bridge/promise.h"
#include "bridge/rejection.h"

namespace varnel::bridge {

// Result is the promise type; Args are the declared argument types in order. body is called as
// body(args..., promise).
template <class Result, class... Args, class Body>
void addPromiseMethod(ModuleBuilder& builder, std::string name, Body body) {
    builder.AddMethod(std::move(name), MethodKind::Promise,
                      [body = std::move(body)](const JSValue& args, MethodResultCallback resolve, MethodResultCallback reject) {
                          Promise<Result> promise(std::move(resolve), std::move(reject));
                          rejectOnException(promise, [&] {
                              std::apply([&](auto&&... values) { body(std::move(values)..., promise); },
                                         readArguments<Args...>(args));
                          });
                      });
}

}  // namespace varnel::bridge
