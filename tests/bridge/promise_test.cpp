#include "bridge/promise.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "bridge/worker.h"
#include "support/test_host.h"
#include "support/value_capture.h"

namespace varnel {
namespace {

using test::CallRecord;
using test::Settlement;

// Callbacks that record every settlement the host would receive.
template <class T>
Promise<T> recordedPromise(const std::shared_ptr<CallRecord>& record) {
    auto settle = [record](bool resolved) {
        return [record, resolved](const ArgumentWriter& write) {
            record->add({resolved, test::capture(write)});
        };
    };
    return Promise<T>(settle(true), settle(false));
}

JSValue rejection(const std::string& message) {
    return JSValue(JSValueArray{JSValue(JSValueObject{
        {"code", JSValue("EUNSPECIFIED")}, {"message", JSValue(message)}, {"userInfo", JSValue()}})});
}

TEST(Promise, ResultsAreWrittenAsAOneElementArgumentList) {
    auto record = std::make_shared<CallRecord>();
    recordedPromise<std::int32_t>(record).resolve(-7);
    recordedPromise<void>(record).resolve();
    recordedPromise<std::string>(record).resolve("pong");
    recordedPromise<JSValueObject>(record).resolve(JSValueObject{{"state", JSValue("connecting")}});
    // Each promise above was settled once and then released; the release must not add a rejection.
    const auto values = std::vector<JSValue>{
        JSValue(JSValueArray{JSValue(std::int64_t{-7})}), JSValue(JSValueArray{JSValue()}), JSValue(JSValueArray{JSValue("pong")}),
        JSValue(JSValueArray{JSValue(JSValueObject{{"state", JSValue("connecting")}})})};
    const auto settlements = record->all();
    ASSERT_EQ(settlements.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_TRUE(settlements[i].resolved);
        EXPECT_EQ(settlements[i].value, values[i]);
    }
}

TEST(Promise, RejectionIsTheThreeKeyObjectWhetherTheMessageIsUtf8OrUtf16) {
    auto utf8 = std::make_shared<CallRecord>();
    auto utf16 = std::make_shared<CallRecord>();
    recordedPromise<bool>(utf8).reject("Caf\xC3\xA9 closed.");
    recordedPromise<bool>(utf16).reject(u"Caf\u00e9 closed.");
    EXPECT_FALSE(utf8->wait().resolved);
    EXPECT_EQ(utf8->wait().value, rejection("Caf\xC3\xA9 closed."));
    EXPECT_EQ(utf16->wait().value, utf8->wait().value);
}

TEST(Promise, OnlyTheFirstSettlementCountsUnderConcurrentResolveAndReject) {
    for (int round = 0; round < 50; ++round) {
        auto record = std::make_shared<CallRecord>();
        auto promise = recordedPromise<bool>(record);
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([promise, t, &go] {
                while (!go.load()) std::this_thread::yield();
                if (t % 2 == 0) promise.resolve(true);
                else promise.reject("lost");
            });
        }
        go = true;
        for (auto& t : threads) t.join();
        promise = recordedPromise<bool>(std::make_shared<CallRecord>());  // release the last copy
        EXPECT_EQ(record->count(), 1u);
    }
}

TEST(Promise, LastCopyReleasedWhilePendingRejectsWithPromiseDestroyed) {
    auto record = std::make_shared<CallRecord>();
    {
        auto promise = recordedPromise<JSValueObject>(record);
        auto copy = promise;
        (void)copy;
    }
    ASSERT_EQ(record->count(), 1u);
    EXPECT_EQ(record->wait().value, rejection("Promise destroyed."));
}

class CountingLauncher final : public platform::ThreadLauncher {
public:
    bool startDetached(std::function<void()> body) override {
        if (refuse) return false;
        return platform::systemThreadLauncher()->startDetached(std::move(body));
    }
    bool refuse = false;
};

TEST(Worker, WorkerThatResolvesAndThenRejectsIsSeenResolved) {
    auto record = std::make_shared<CallRecord>();
    CountingLauncher threads;
    std::atomic<bool> finished{false};
    startWorker(threads, "connectOvpn", recordedPromise<JSValueObject>(record), [&finished](const Promise<JSValueObject>& p) {
        p.resolve(JSValueObject{{"state", JSValue("connecting")}});
        p.reject("too late");
        finished = true;
    });
    EXPECT_TRUE(record->wait().resolved);
    while (!finished) std::this_thread::yield();
    EXPECT_EQ(record->count(), 1u);
}

TEST(Worker, WorkerThatEndsWithoutSettlingRejectsWithPromiseDestroyed) {
    auto record = std::make_shared<CallRecord>();
    CountingLauncher threads;
    startWorker(threads, "pickApp", recordedPromise<JSValueObject>(record), [](const Promise<JSValueObject>&) {});
    EXPECT_EQ(record->wait().value, rejection("Promise destroyed."));
}

TEST(Worker, WorkerThatThrowsRejectsWithTheMessage) {
    auto record = std::make_shared<CallRecord>();
    CountingLauncher threads;
    startWorker(threads, "disconnect", recordedPromise<JSValueObject>(record),
                [](const Promise<JSValueObject>&) { throw std::runtime_error("socket gone"); });
    EXPECT_EQ(record->wait().value, rejection("socket gone"));
}

TEST(Worker, ThreadThatCannotStartRejectsWithAPlainSentence) {
    auto record = std::make_shared<CallRecord>();
    CountingLauncher threads;
    threads.refuse = true;
    bool ran = false;
    startWorker(threads, "measureTcpLatency", recordedPromise<std::int32_t>(record), [&ran](const Promise<std::int32_t>&) { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(record->wait().value, rejection("Could not start a thread for measureTcpLatency."));
    EXPECT_EQ(record->count(), 1u);
}

}  // namespace
}  // namespace varnel
