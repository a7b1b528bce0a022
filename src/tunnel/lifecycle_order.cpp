#include "tunnel/lifecycle_order.h"

namespace varnel::tunnel {

LifecycleOrder::Ticket::Ticket(std::shared_ptr<LifecycleOrder> order) : order_(std::move(order)), number_(order_->enter()) {}

LifecycleOrder::Ticket::~Ticket() { order_->leave(number_); }

void LifecycleOrder::Ticket::wait() { order_->waitFor(number_); }

std::uint64_t LifecycleOrder::enter() {
    std::lock_guard lock(mutex_);
    return next_++;
}

void LifecycleOrder::waitFor(std::uint64_t number) {
    std::unique_lock lock(mutex_);
    turn_.wait(lock, [&] { return serving_ == number; });
}

void LifecycleOrder::leave(std::uint64_t number) {
    {
        std::lock_guard lock(mutex_);
        // A ticket may end before its turn (its worker never ran): its turn is skipped when it comes.
        finished_.insert(number);
        while (finished_.erase(serving_) != 0) ++serving_;
    }
    turn_.notify_all();
}

bool LifecycleOrder::idle() {
    std::lock_guard lock(mutex_);
    return serving_ == next_;
}

}  // namespace varnel::tunnel
