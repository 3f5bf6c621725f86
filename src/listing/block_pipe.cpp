#include "listing/block_pipe.hpp"

#include <utility>

block_pipe::block_pipe(std::size_t in_flight, std::size_t block_size)
    : in_flight_(in_flight), block_size_(block_size) {}

event_block block_pipe::empty_block() {
    {
        const std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            event_block block = std::move(spare_.back());
            spare_.pop_back();
            return block;
        }
    }
    return event_block(block_size_);
}

void block_pipe::send(event_block&& block) {
    std::unique_lock lock(mutex_);
    taken_.wait(lock, [&] { return waiting_.size() < in_flight_ || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    waiting_.push_back(std::move(block));
    lock.unlock();
    sent_.notify_one();
}

void block_pipe::close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    sent_.notify_one();
}

bool block_pipe::receive(event_block& block) {
    std::unique_lock lock(mutex_);
    sent_.wait(lock, [&] { return !waiting_.empty() || closed_; });
    if (waiting_.empty()) return false;
    block = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    taken_.notify_one();
    return true;
}

void block_pipe::give_back(event_block&& block) {
    block.clear(block_size_);
    const std::lock_guard lock(mutex_);
    spare_.push_back(std::move(block));
}

void block_pipe::give_up(std::exception_ptr why) {
    {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(why);
        waiting_.clear();
    }
    taken_.notify_all();
}

std::exception_ptr block_pipe::failure() {
    const std::lock_guard lock(mutex_);
    return failure_;
}
