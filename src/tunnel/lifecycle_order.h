#pragma once
// Connects, disconnects and the recovery of a running tunnel happen one at a time, in the order
// they were asked for, without holding the TunnelLock across them: a disconnect asked for while a
// connect is under way comes after it and so finds what it launched.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>

namespace varnel::tunnel {

// Shared by the interface thread (which takes tickets in call order) and the workers (which wait for
// their turn). mutex_ guards the counters only and is never held while an operation runs.
class LifecycleOrder : public std::enable_shared_from_this<LifecycleOrder> {
public:
    // A place in the line. Its operation runs between wait() and the ticket's end; a ticket that ends
    // without having waited (its worker never started) gives its turn up.
    class Ticket {
    public:
        explicit Ticket(std::shared_ptr<LifecycleOrder> order);
        ~Ticket();
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        void wait();

    private:
        std::shared_ptr<LifecycleOrder> order_;
        std::uint64_t number_;
    };

    // Called where the operation is asked for, so that tickets follow the call order.
    std::shared_ptr<Ticket> take() { return std::make_shared<Ticket>(shared_from_this()); }
    // True when no operation is running or waiting: recovery, which only ever helps, runs only then.
    bool idle();

private:
    std::uint64_t enter();
    void waitFor(std::uint64_t number);
    void leave(std::uint64_t number);

    std::mutex mutex_;
    std::condition_variable turn_;
    std::uint64_t next_ = 0;
    std::uint64_t serving_ = 0;
    std::set<std::uint64_t> finished_;
};

}  // namespace varnel::tunnel
