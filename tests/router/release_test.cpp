// Every array the router allocates for a response (texts, host value payloads, header
// arrays) is freed by the response's release: this program counts array allocations.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "router_test_support.h"

namespace {
std::atomic<long> gLiveArrays{0};
}  // namespace

void* operator new[](std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    ++gLiveArrays;
    return block;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) ++gLiveArrays;
    return block;
}
void operator delete[](void* block) noexcept {
    if (block == nullptr) return;
    --gLiveArrays;
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept { operator delete[](block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete[](block); }

namespace router_test {
namespace {

TEST(ResponseRelease, FreesEveryArrayOfEveryAnswerShape) {
    RouterFixture fixture;
    ApiRegistry& registry = fixture.registry;
    Service& service = fixture.service;
    registry.AddRoute(HttpMethod::Get, "/items/{id}", &service, &Service::GetItem);
    registry.AddRoute(HttpMethod::Get, "/attributes", &service, &Service::Attributes).Argument("mode");
    registry.AddRoute(HttpMethod::Get, "/stream", &service, &Service::Stream);
    registry.AddRoute(HttpMethod::Get, "/maybe", &service, &Service::Maybe).Argument("code");
    registry.AddRoute(HttpMethod::Get, "/throws", &service, &Service::Throws);
    (void)fixture.Table();

    const struct {
        const char* function;
        const char* url;
    } calls[] = {
        {"GetItemsById", "/items/x"},        {"GetAttributes", "/attributes?mode=1"},
        {"GetStream", "/stream"},            {"GetMaybe", "/maybe?code=404"},
        {"GetThrows", "/throws"},            {"GetItemsById", "/nothing"},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.url);
        const RouteFunctionEntry& entry = *FindEntry(fixture.Table(), call.function);
        TestRequest request(kGet, call.url);
        const HostRequest record = request.Record(entry.function.dispatchContext);
        const long before = gLiveArrays.load();
        HostResponse response{};
        HandleCall(&response, &record);
        EXPECT_GT(gLiveArrays.load(), before) << "the answer holds texts of its own";
        const HostReleaseResponseFunction release = response.release;
        ASSERT_NE(release, nullptr);
        release(&response);
        EXPECT_EQ(gLiveArrays.load(), before);
    }
}

}  // namespace
}  // namespace router_test
